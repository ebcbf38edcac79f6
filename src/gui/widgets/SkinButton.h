#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QCursor>
#include <QPixmap>

#include <array>
#include <optional>

// A picture button for the skinned windows: one picture at rest, another under the mouse,
// drawn over the parent's own pixels so it blends into the skin. Clicks reach the owner
// through clicked() as with any button.
class SkinButton : public QAbstractButton
{
    Q_OBJECT

public:
    // Results of the configuration calls.
    enum Result { Ok = 0, PictureUnreadable = 1, MaskFailed = 2, BadSlot = 3, BadOffset = 5 };

    // Colour slots: background and text while hovered or pressed, normally, and while focused.
    enum ColourSlot { HoverBackground, HoverText, NormalBackground, NormalText, FocusBackground, FocusText };
    static constexpr int colourSlotCount = 6;

    explicit SkinButton(QWidget *parent = nullptr);

    // Loads both pictures by resource number (normalId may be 0: the hover picture serves).
    // The key colours make raster pictures see-through; vector artwork carries its own
    // transparency. On failure all pictures are released.
    int setStateBitmaps(int hoverId, QColor hoverKey, int normalId, QColor normalKey);
    // Adds offset to all three components of a colour slot, limited so that none leaves 0..255.
    int shiftColour(int slot, int offset, bool repaint = true);
    QColor colour(int slot) const;
    void setColour(int slot, const QColor &colour);
    void setTrackAlways(bool on) { trackAlways = on; }
    bool tracksAlways() const { return trackAlways; }
    // Paint over the parent's pixels instead of a background colour.
    void setParentBackground(bool repaint = true);
    bool drawsParentBackground() const { return parentBackground; }
    void setTip(const QString &text, bool active = true);

    void setFlat(bool on) { flat = on; update(); }
    bool isFlat() const { return flat; }
    void setDrawBorder(bool on) { drawBorder = on; update(); }
    void setFocusWhenFlat(bool on) { focusWhenFlat = on; update(); }
    void setDefaultLook(bool on) { defaultLook = on; update(); }
    bool hasDefaultLook() const { return defaultLook; }
    // Check-box mode: each click toggles the ticked state.
    void setCheckBoxMode(bool on) { setCheckable(on); }
    // 1 or 2 ticks, anything else unticks (check-box mode only).
    void setTickState(int state);
    int tickState() const { return isChecked() ? 1 : 0; }
    void setButtonCursor(const QCursor &cursor) { setCursor(cursor); }

    bool isHovered() const { return hovered; }
    // The focus came by the keyboard (Tab, a shortcut): the button shows it, lit and framed,
    // flat or not, so a keyboard user sees where Space and Enter go.
    bool showsKeyboardFocus() const { return keyboardFocus && hasFocus(); }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;

private:
    struct Picture
    {
        int id = 0;
        QColor key;
        QPixmap pixmap;
        qreal ratio = 0;
    };

    bool loadPicture(Picture &picture, qreal ratio) const;
    const QPixmap &pictureFor(bool showHover);
    void setHovered(bool on);
    void trackPointer(const QPoint &globalPos, Qt::MouseButtons buttons);

    bool flat = true;
    bool drawBorder = true;
    bool focusWhenFlat = false;
    bool hovered = false;
    bool keyboardFocus = false;
    bool trackAlways = true;
    bool parentBackground = false;
    bool defaultLook = false;
    std::array<QColor, colourSlotCount> colours;
    Picture hoverPicture;
    std::optional<Picture> normalPicture;
    QString tip;
};
