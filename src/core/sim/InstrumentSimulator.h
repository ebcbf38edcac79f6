#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <array>
#include <cstdint>

// The instrument's side of the protocol, for use without an instrument: it stores templates,
// takes block transfers paced by its own Note On replies, applies velocity curves and plays
// notes. It sends by emitting `reply`; whoever hosts it delivers the bytes (queued, with the
// reply delay) as a real device would. Faults can be switched on to test the program's side.
class InstrumentSimulator : public QObject
{
    Q_OBJECT

public:
    static constexpr int templateCount = 8;
    static constexpr std::uint8_t readyVelocity = 0x11;   // ReplyReady: 90 3C 11
    static constexpr std::uint8_t nextVelocity = 0x33;    // ReplyNext:  90 3C 33
    static constexpr std::uint8_t replyKey = 0x3C;
    static constexpr int logLimit = 500;
    static constexpr int bendLowest = -8192;
    static constexpr int bendHighest = 8191;

    struct Faults
    {
        int replyDelayMs = 0;     // a slow device: every reply waits this long
        int readyDelayMs = 0;     // a device that erases its memory first: ReplyReady waits this
                                  // long more
        int stopAfterBlock = -1;  // no reply after this many blocks of a transfer
        int dropReply = -1;       // the n-th reply of a transfer (from 1) is never sent
        int garbleReply = -1;     // the n-th reply of a transfer (from 1) has a wrong velocity
        int unfinishedSysEx = -1; // before the n-th reply of a transfer (from 1), a SysEx that
                                  // lacks its F7, as a message of its own
        bool vanishBeforeLast = false;   // leaves (vanishing()) when it asks for the last block
    };

    // The image of the last block transfer, as it was announced and reassembled.
    struct Transfer
    {
        std::uint8_t command = 0;   // 0x02 song or csf, 0x04 firmware; 0 before the first
        int number = 0;
        int blockCount = 0;
        int blocksReceived = 0;
        bool complete = false;
        QByteArray packed;          // the data bytes of the blocks, joined
        QByteArray image;           // `packed` unpacked, once complete
    };

    explicit InstrumentSimulator(QObject *parent = nullptr);

    // One complete message from the program.
    void receive(const QByteArray &message);

    // Sends the current template as a dump (162 bytes as the program builds them).
    void sendDump();
    // Plays one note on channel 1; the velocity goes through the velocity map.
    void playNote(int key, int velocity);
    // A controller change, as a knob, the joystick or the pedal sends it: channel 1-16, number and
    // value 0-127. False, and nothing sent, when a value is outside its range.
    bool controlChange(int channel, int number, int value);
    // Pitch bend on channel 1-16, -8192 (all the way down) to 8191, 0 at the centre. False, and
    // nothing sent, when a value is outside its range.
    bool pitchBend(int channel, int value);

    Faults faults;
    // How long a reply waits before it goes out, by the faults; called once per reply, in the
    // order they are made (the request for the first block waits as long as ReplyReady).
    int delayOf(const QByteArray &reply);

    QByteArray templateMemory(int number) const;   // 1..8; empty when nothing was stored there
    QByteArray currentTemplate() const { return current; }
    const Transfer &lastTransfer() const { return transfer; }
    const std::array<std::uint8_t, 128> &velocityMap() const { return map; }
    int curvesReceived() const { return curveCount; }

    const QList<QByteArray> &received() const { return receivedLog; }
    const QStringList &events() const { return eventLog; }
    void clearLogs();

    static QString hex(const QByteArray &bytes, int limit = 48);

signals:
    void reply(const QByteArray &bytes);
    // Something was received or done; `text` says what, for views and the command line.
    void happened(const QString &text);
    // The fault vanishBeforeLast: the instrument is unplugged just as it asks for the last block,
    // before that block can reach it. Hosts close its ports.
    void vanishing();

private:
    void note(const QString &text);
    void storeTemplate(const QByteArray &message);
    void startTransfer(const QByteArray &message);
    void takeBlock(const QByteArray &message);
    void takeCurve(const QByteArray &message);
    void transferReply(std::uint8_t velocity);
    void askForNextBlock();

    std::array<QByteArray, templateCount> memories;
    QByteArray current;
    Transfer transfer;
    int repliesThisTransfer = 0;
    std::array<std::uint8_t, 128> map{};
    int curveCount = 0;
    QList<QByteArray> receivedLog;
    QStringList eventLog;
    bool afterReady = false;   // the next reply follows a delayed ReplyReady
};
