#pragma once

#include "core/midi/MidiPortBackend.h"

#include <QCoreApplication>
#include <QList>

#include <functional>

#include <memory>
#include <utility>

// A system back end the test controls: devices come and go (an open output whose device is no
// longer listed refuses), outputs record what they take or refuse it, inputs are fed by hand.
// With no names given there are no ports at all; with openable off, the ports are listed but
// none opens.
class FakePorts : public MidiPortBackend
{
public:
    struct State
    {
        QStringList outputs;
        QStringList inputs;
        QList<QByteArray> sent;
        int opens = 0;
        int openOutputs = 0;
        MidiOutputPort::Delivery next = MidiOutputPort::Delivery::Delivered;
        std::size_t maxLength = 4096;
        MidiInputPort::Receiver input;   // the receiver of the open input, if any
        bool openable = true;

        // Devices reached only through a direct link (as a USB instrument is), by name.
        QStringList routed;
        QString takeError;               // set: taking the link fails with it
        bool hideWhileTaken = false;     // the system no longer lists a taken device's ports
        bool linkGone = false;           // the device went while taken
        int takes = 0;
        int givebacks = 0;
        bool taken = false;
        QList<QByteArray> linkSent;
        MidiInputPort::Receiver linkInput;

        // Answers armed on the input run as their trigger arrives (through arrive()), as a back
        // end that answers on its own thread does; off, the ports cannot arm.
        bool quickAnswers = false;
        QByteArray armedTrigger;
        std::function<void()> armedAnswer;
        bool answerRan = false;
        int quickSends = 0;

        // A piece of input from the device: an armed answer it triggers runs first.
        void arrive(const QByteArray &bytes)
        {
            if (armedAnswer && !answerRan && bytes == armedTrigger) {
                answerRan = true;
                armedAnswer();
            }
            if (input)
                input(bytes);
        }
    };

    explicit FakePorts(std::shared_ptr<State> sharedState) : state(std::move(sharedState)) {}
    FakePorts() : FakePorts(std::make_shared<State>()) {}
    // Ports that are listed but never open.
    FakePorts(QStringList outputs, QStringList inputs) : FakePorts(std::make_shared<State>())
    {
        state->outputs = std::move(outputs);
        state->inputs = std::move(inputs);
        state->openable = false;
    }

    // Listed devices that live in this test process alone: their device locks must not meet
    // those of another test run on the machine at the same time.
    QString place() override { return QStringLiteral("fake:%1").arg(QCoreApplication::applicationPid()); }
    QStringList outputNames() override { return state->outputs; }
    QStringList inputNames() override { return state->inputs; }

    std::unique_ptr<MidiOutputPort> openOutput(int index, QString *) override
    {
        if (!state->openable || index < 0 || index >= state->outputs.size())
            return nullptr;
        ++state->opens;
        return std::make_unique<Output>(state, state->outputs.at(index));
    }

    std::unique_ptr<MidiInputPort> openInput(int index, MidiInputPort::Receiver receiver, QString *) override
    {
        if (!state->openable || index < 0 || index >= state->inputs.size())
            return nullptr;
        state->input = std::move(receiver);
        return std::make_unique<Input>(state);
    }

    QString directRoute(const QString &name) override
    {
        return state->routed.contains(name) ? QStringLiteral("USB link") : QString();
    }

    std::unique_ptr<MidiDirectLink> directLink(const QString &outputName, const QString &inputName) override
    {
        const QString name = outputName.isEmpty() ? inputName : outputName;
        if (!state->routed.contains(name))
            return nullptr;
        return std::make_unique<Link>(state, name, state->routed.contains(inputName));
    }

private:
    class Link : public MidiDirectLink
    {
    public:
        Link(std::shared_ptr<State> sharedState, QString name, bool input)
            : state(std::move(sharedState)), portName(std::move(name)), withInput(input)
        {
        }
        ~Link() override
        {
            if (!held)
                return;
            state->taken = false;
            ++state->givebacks;
            // Back where they were listed, as a sequencer lists its clients in order.
            if (hiddenOutputAt >= 0)
                state->outputs.insert(qMin(hiddenOutputAt, int(state->outputs.size())), portName);
            if (hiddenInputAt >= 0)
                state->inputs.insert(qMin(hiddenInputAt, int(state->inputs.size())), portName);
        }
        bool take(QString *error) override
        {
            if (!state->takeError.isEmpty()) {
                if (error)
                    *error = state->takeError;
                return false;
            }
            held = true;
            state->taken = true;
            ++state->takes;
            if (state->hideWhileTaken) {
                hiddenOutputAt = int(state->outputs.indexOf(portName));
                hiddenInputAt = int(state->inputs.indexOf(portName));
                state->outputs.removeAll(portName);
                state->inputs.removeAll(portName);
            }
            return true;
        }
        std::unique_ptr<MidiOutputPort> openOutput(QString *) override
        {
            return std::make_unique<LinkOutput>(state, portName);
        }
        std::unique_ptr<MidiInputPort> openInput(MidiInputPort::Receiver receiver, QString *) override
        {
            state->linkInput = std::move(receiver);
            return std::make_unique<LinkInput>(state);
        }
        bool connected() override { return !state->linkGone; }
        bool carriesInput() const override { return withInput; }

    private:
        std::shared_ptr<State> state;
        QString portName;
        bool withInput;
        bool held = false;
        int hiddenOutputAt = -1;
        int hiddenInputAt = -1;
    };

    class LinkOutput : public MidiOutputPort
    {
    public:
        LinkOutput(std::shared_ptr<State> sharedState, QString name) : state(std::move(sharedState)), portName(std::move(name)) {}
        Delivery send(const std::uint8_t *bytes, std::size_t length, std::chrono::milliseconds) override
        {
            if (state->linkGone || !state->taken)
                return Delivery::Refused;
            state->linkSent.append(QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(length)));
            return Delivery::Delivered;
        }
        std::size_t maxMessageLength() const override { return 65536; }
        QString name() const override { return portName; }

    private:
        std::shared_ptr<State> state;
        QString portName;
    };

    class LinkInput : public MidiInputPort
    {
    public:
        explicit LinkInput(std::shared_ptr<State> sharedState) : state(std::move(sharedState)) {}
        ~LinkInput() override { state->linkInput = nullptr; }

    private:
        std::shared_ptr<State> state;
    };

    class Output : public MidiOutputPort
    {
    public:
        Output(std::shared_ptr<State> sharedState, QString name) : state(std::move(sharedState)), portName(std::move(name))
        {
            ++this->state->openOutputs;
        }
        ~Output() override { --state->openOutputs; }
        Delivery send(const std::uint8_t *bytes, std::size_t length, std::chrono::milliseconds) override
        {
            // Unplugged: the port refuses, as a system port without its device does.
            if (!state->outputs.contains(portName))
                return Delivery::Refused;
            const Delivery result = std::exchange(state->next, Delivery::Delivered);
            if (result == Delivery::Delivered)
                state->sent.append(QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(length)));
            return result;
        }
        std::size_t maxMessageLength() const override { return state->maxLength; }
        QString name() const override { return portName; }
        QuickSender quickSender() override
        {
            if (!state->quickAnswers)
                return {};
            return [s = state](const QByteArray &message) {
                ++s->quickSends;
                s->sent.append(message);
                return true;
            };
        }

    private:
        std::shared_ptr<State> state;
        QString portName;
    };

    class Input : public MidiInputPort
    {
    public:
        explicit Input(std::shared_ptr<State> sharedState) : state(std::move(sharedState)) {}
        ~Input() override
        {
            state->input = nullptr;
            disarmAnswer();
        }
        bool armAnswer(const QByteArray &trigger, std::function<void()> answer) override
        {
            if (!state->quickAnswers)
                return false;
            state->armedTrigger = trigger;
            state->armedAnswer = std::move(answer);
            state->answerRan = false;
            return true;
        }
        bool disarmAnswer() override
        {
            state->armedAnswer = nullptr;
            return std::exchange(state->answerRan, false);
        }

    private:
        std::shared_ptr<State> state;
    };

    std::shared_ptr<State> state;
};
