#pragma once

#include "core/midi/MidiPortBackend.h"

#include <QList>

#include <memory>

// A system back end the test controls: devices come and go, outputs record what they take or
// refuse it, inputs are fed by hand. With no names given there are no ports at all; with
// openable off, the ports are listed but none opens.
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

private:
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
            const Delivery result = std::exchange(state->next, Delivery::Delivered);
            if (result == Delivery::Delivered)
                state->sent.append(QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(length)));
            return result;
        }
        std::size_t maxMessageLength() const override { return state->maxLength; }
        QString name() const override { return portName; }

    private:
        std::shared_ptr<State> state;
        QString portName;
    };

    class Input : public MidiInputPort
    {
    public:
        explicit Input(std::shared_ptr<State> sharedState) : state(std::move(sharedState)) {}
        ~Input() override { state->input = nullptr; }

    private:
        std::shared_ptr<State> state;
    };

    std::shared_ptr<State> state;
};
