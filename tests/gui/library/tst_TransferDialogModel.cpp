#include "core/transfer/TransferSession.h"
#include "gui/library/TransferDialogModel.h"
#include "support/InstrumentMessage.h"

#include <QTest>

#include <type_traits>

namespace {

// A session whose messages go nowhere, answering with a chosen result, and the dialog's words
// for it, brought up to date after every step as the driver's changed() does.
struct Shown
{
    SendResult answer = SendResult::Sent;
    TransferSession session{[this](const QByteArray &, TransferSession::Message) { return answer; }};
    TransferDialogModel model;

    template <typename Step>
    auto operator()(Step step)
    {
        if constexpr (std::is_void_v<decltype(step(session))>) {
            step(session);
            model.update(session);
        } else {
            auto result = step(session);
            model.update(session);
            return result;
        }
    }
    void open(FileKind kind, const QByteArray &image)
    {
        (*this)([&](TransferSession &s) { s.open(kind, image); });
    }
    TransferSession::StartResult send()
    {
        return (*this)([](TransferSession &s) { return s.send(0); });
    }
    TransferSession::Event reply(std::uint32_t value)
    {
        return (*this)([value](TransferSession &s) { return s.onShortMessage(value, 0); });
    }
    void buttons(bool send, bool close) const
    {
        QCOMPARE(model.sendEnabled(), send);
        QCOMPARE(model.closeEnabled(), close);
    }
};

QByteArray imagePackingTo(int packedLength)
{
    const int full = packedLength / 8;
    const int rest = packedLength % 8;
    return QByteArray(7 * full + (rest ? rest - 1 : 0), '\x42');
}

QByteArray templateImage()
{
    QByteArray image(162, '\x11');
    image.replace(0, 13, instrumentMessage(TransferHeader::TemplateImage, TransferHeader::noNumber, 1).left(13));
    image[161] = '\xF7';
    return image;
}

const QString succeeded = QStringLiteral("Succeed in sending, you can exit!");

} // namespace

// The transfer window's words and buttons along each way a transfer can go.
class TestTransferDialogModel : public QObject
{
    Q_OBJECT

private slots:
    void blockTransferFromOpeningToTheEnd_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("packedLength");
        QTest::addColumn<QString>("waiting");
        QTest::addColumn<QString>("sending");
        QTest::addColumn<QString>("caption");
        const QString opening = TransferDialogModel::openingStatus();
        const QString firmwareWait = TransferDialogModel::readyWaitStatus();
        // A firmware image may wait for the instrument to erase its memory, and says so.
        QTest::newRow("firmware, short last block")
            << int(FileKind::Firmware) << 8 << firmwareWait
            << QStringLiteral("Updatint the device ROM, please waitting.......") << QStringLiteral("Ok");
        QTest::newRow("song, full last block") << int(FileKind::Song) << 2048 << opening
                                               << QStringLiteral("Sending Midi song, please waitting.......")
                                               << QStringLiteral("OK");
        QTest::newRow("song, short last block") << int(FileKind::Song) << 1026 << opening
                                                << QStringLiteral("Sending Midi song, please waitting.......")
                                                << QStringLiteral("Ok");
        QTest::newRow("csf, one full block") << int(FileKind::Csf) << 1024 << opening
                                             << QStringLiteral("Sending Csf file, please waitting.......")
                                             << QStringLiteral("OK");
    }
    void blockTransferFromOpeningToTheEnd()
    {
        QFETCH(int, kind);
        QFETCH(int, packedLength);
        QFETCH(QString, waiting);
        QFETCH(QString, sending);
        QFETCH(QString, caption);
        Shown shown;
        shown.open(FileKind(kind), imagePackingTo(packedLength));
        QCOMPARE(shown.model.statusText(), QStringLiteral("Click the  \" Send \" button to send file!"));
        QCOMPARE(shown.model.closeCaption(), QStringLiteral("Cancel"));
        shown.buttons(true, true);

        QCOMPARE(shown.send(), TransferSession::StartResult::Started);
        QCOMPARE(shown.model.statusText(), waiting);
        shown.buttons(false, false);
        shown.reply(TransferSession::replyReady);
        QCOMPARE(shown.model.statusText(), sending);
        shown.buttons(false, false);
        const int blocks = shown.session.blockCount();
        for (int k = 0; k < blocks - 1; ++k) {
            QCOMPARE(shown.reply(TransferSession::replyNext), TransferSession::Event::None);
            QCOMPARE(shown.model.statusText(), sending);
            QCOMPARE(shown.model.closeCaption(), QStringLiteral("Cancel"));
            shown.buttons(false, false);
        }
        QCOMPARE(shown.reply(TransferSession::replyNext), TransferSession::Event::Finished);
        QCOMPARE(shown.model.statusText(), succeeded);
        QCOMPARE(shown.model.closeCaption(), caption);
        shown.buttons(true, true);

        // Sending it again: the close button reads "Cancel" from the pause before it on.
        shown([](TransferSession &s) { s.prepareRepeat(); });
        QCOMPARE(shown.model.closeCaption(), QStringLiteral("Cancel"));
        QCOMPARE(shown.model.statusText(), succeeded);
        shown.send();
        shown.buttons(false, false);
    }

    void templateSendAndItsFailures()
    {
        Shown shown;
        shown.open(FileKind::Template, templateImage());
        QCOMPARE(shown.send(), TransferSession::StartResult::Sent);
        QCOMPARE(shown.model.statusText(), QStringLiteral("Succeed in sending, you can exit or send again!"));
        QCOMPARE(shown.model.closeCaption(), QStringLiteral("Ok"));
        shown.buttons(true, true);

        // The device refused it (and the user was told): Send stays off, the rest as it was.
        shown.answer = SendResult::MessageRefused;
        QCOMPARE(shown.send(), TransferSession::StartResult::SendFailed);
        QCOMPARE(shown.model.statusText(), QStringLiteral("Succeed in sending, you can exit or send again!"));
        shown.buttons(false, true);

        shown.open(FileKind::Template, templateImage());
        shown.answer = SendResult::DeviceNotOpened;
        QCOMPARE(shown.send(), TransferSession::StartResult::NoOutputDevice);
        QCOMPARE(shown.model.statusText(), TransferDialogModel::openingStatus());
        QCOMPARE(shown.model.closeCaption(), QStringLiteral("Cancel"));
        shown.buttons(false, true);

        // An image that cannot be sent changes nothing on screen.
        shown.open(FileKind::Firmware, {});
        QCOMPARE(shown.send(), TransferSession::StartResult::Refused);
        QCOMPARE(shown.model.statusText(), TransferDialogModel::openingStatus());
        shown.buttons(true, true);
    }

    // A transfer that stops on its way gives both buttons back, and says why.
    void stoppedTransfers()
    {
        Shown shown;
        shown.open(FileKind::Firmware, imagePackingTo(3 * 1024));
        shown.send();
        shown.reply(TransferSession::replyReady);
        shown.reply(TransferSession::replyNext);
        shown.answer = SendResult::MessageRefused;
        QCOMPARE(shown.reply(TransferSession::replyNext), TransferSession::Event::Failed);
        QCOMPARE(shown.model.statusText(),
                 QStringLiteral("Block 2 could not be sent, so the transfer has stopped. Check the device and click "
                                "Send to try again."));
        QCOMPARE(shown.model.closeCaption(), QStringLiteral("Cancel"));
        shown.buttons(true, true);

        shown.answer = SendResult::Sent;
        shown.send();
        QCOMPARE(shown([](TransferSession &s) { return s.checkTimeout(s.deadline()); }), TransferSession::Event::TimedOut);
        QCOMPARE(shown.model.statusText(),
                 QStringLiteral("The instrument stopped answering. Check it and click Send to try again."));
        shown.buttons(true, true);

        shown.send();
        shown.reply(TransferSession::replyReady);
        QCOMPARE(shown([](TransferSession &s) { return s.deviceGone(); }), TransferSession::Event::Failed);
        QCOMPARE(shown.model.statusText(), TransferOutcome::blockFailedText(0) + QStringLiteral(" Check the device and click "
                                                                                             "Send to try again."));
        shown.buttons(true, true);

        // Given up as the window closes: the buttons come back, the status is left.
        shown.send();
        shown.reply(TransferSession::replyReady);
        shown([](TransferSession &s) { s.abort(); });
        QCOMPARE(shown.model.statusText(), QStringLiteral("Updatint the device ROM, please waitting......."));
        shown.buttons(true, true);
    }

    // Another transfer holds the device: the window waits with Send off, then says why it gave up.
    void busyDevice()
    {
        Shown shown;
        shown.open(FileKind::Song, imagePackingTo(2048));
        shown([](TransferSession &s) { s.waitForDevice(); });
        QCOMPARE(shown.model.statusText(), QStringLiteral("Waiting for another transfer to finish......."));
        shown.buttons(false, true);
        shown([](TransferSession &s) { s.deviceUnavailable(QStringLiteral("the device is busy with another transfer")); });
        QCOMPARE(shown.model.statusText(), QStringLiteral("the device is busy with another transfer"));
        shown.buttons(true, true);
    }
};

QTEST_APPLESS_MAIN(TestTransferDialogModel)
#include "tst_TransferDialogModel.moc"
