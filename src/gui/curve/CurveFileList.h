#pragma once

#include "core/base/LibraryLocation.h"

#include <QObject>
#include <QString>

class CurveEditorModel;
class PromptService;
class QLineEdit;
class QListWidget;
class QWidget;

// The curve editor's saved curves: the .crv files of the library's Curve folder in a list, the
// box that names the selected one, and what Save, Load, Delete and Send do with them and with
// the curve on screen. The widgets are the editor's; every question goes through the prompts.
class CurveFileList : public QObject
{
    Q_OBJECT

public:
    // Save's question ("Save file") before a curve file is replaced.
    static inline const QString replaceQuestion = QStringLiteral("Replace the existing file\uFF1F");

    // The questions of Delete, and of Send when the curve on screen is an edit kept nowhere and
    // is not the selected file's.
    static QString deleteQuestion(const QString &fileName);
    static QString sendQuestion(const QString &fileName);

    // window: the editor, parent of the filename prompt.
    CurveFileList(QListWidget &list, QLineEdit &nameBox, CurveEditorModel &model, const LibraryLocation &library,
                  PromptService &prompts, QWidget &window);

    // Lists the folder's curve files, newest first. Nothing is selected afterwards: the curve on
    // screen is the program's own until the user chooses a file.
    void fill();
    // Asks for a name (and whether to replace a file of that name) and writes the curve on
    // screen; a new file joins the list.
    void save();
    // The selected file's curve becomes the one on screen: true when it did.
    bool load();
    // Asks, then deletes the selected file; the selection moves to the file above.
    void remove();
    // Send's part: with a file selected, the file's stored map is what goes, and its curve goes
    // on screen, unless the curve on screen is an edit kept nowhere and the user keeps it. False:
    // nothing is to be sent (the file failed its checks, or the user cancelled).
    bool chooseWhatToSend();

private:
    QString selectedPath() const;

    QListWidget &list;
    QLineEdit &nameBox;
    CurveEditorModel &model;
    const LibraryLocation location;
    PromptService &prompts;
    QWidget &window;
};
