#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "framework/MidiMessageReceiver.h"
#include "midi/AbstractChannelEventReceiver.h"
#include "midi/AbstractMusicEventReceiver.h"
#include "midi/MidiListener.h"

using EventLog = std::vector<std::string>;

inline std::string logValue(int value) {
    return " " + std::to_string(value);
}
inline std::string logValue(double value) {
    char text[32];
    std::snprintf(text, sizeof text, " %.4g", value);
    return text;
}
// One log line: a name and its values, fractions to four significant digits.
template <typename... Values>
std::string eventLine(const std::string& name, Values... values) {
    return (name + ... + logValue(values));
}

// Logs the events a listener and a channel receiver share, each line starting with `prefix`.
template <typename Base>
class Logging : public Base {
public:
    Logging(EventLog& log, std::string prefix) : log_(log), prefix_(std::move(prefix)) {}
    void channelPressure(float p) override { add("pressure", p); }
    void polyPressure(int note, float p) override { add("poly", note, p); }
    void controller(int number, int value, float x) override { add("cc", number, value, x); }
    void noteOff(int note, float v) override { add("off", note, v); }
    void noteOn(int note, float v) override { add("on", note, v); }
    void pitchBend(float bend) override { add("bend", bend); }

protected:
    template <typename... Values>
    void add(const char* name, Values... values) {
        log_.push_back(eventLine(prefix_ + name, values...));
    }

private:
    EventLog& log_;
    std::string prefix_;
};

class LoggingListener : public Logging<MidiListener> {
public:
    using Logging::Logging;
    void modWheel(float x) override { add("wheel", x); }
};

// Logs every event of its channel index (raw messages on request) instead of forwarding them.
class LoggingReceiver : public Logging<AbstractChannelEventReceiver> {
public:
    LoggingReceiver(EventLog& log, std::string prefix, bool logRaw = false)
        : Logging(log, std::move(prefix)), logRaw_(logRaw) {}
    void rawMessage(uint8_t status, uint8_t data1, uint8_t data2) override {
        if (logRaw_) add("raw", status, data1, data2);
    }
    void programChange(int bank, int program) override { add("program", bank, program); }

private:
    bool logRaw_;
};

// Lets a test fill any slot with a receiver it owns.
class SlotEventReceiver : public AbstractMusicEventReceiver {
public:
    void put(int channelIndex, AbstractChannelEventReceiver* receiver) {
        setSlot(channelIndex, receiver);
    }
    void setChannelReceiver(std::unique_ptr<AbstractChannelEventReceiver> receiver) override {
        owned_ = std::move(receiver);
        setSlot(kAllChannels, owned_.get());
    }

private:
    std::unique_ptr<AbstractChannelEventReceiver> owned_;
};

// Collects encoded messages.
class MessageLog : public MidiMessageReceiver {
public:
    void receiveMidi(const MidiEvent& event) override { events.push_back(event); }
    std::vector<MidiEvent> events;
};

// Counts calls and checks that every value stays inside its documented range, without
// allocating.
class CheckingListener : public MidiListener {
public:
    void channelPressure(float p) override { unit(p); }
    void polyPressure(int note, float p) override { unit(p, note); }
    void controller(int number, int value, float x) override { unit(x, number, value); }
    void modWheel(float x) override { unit(x); }
    void noteOff(int note, float v) override { unit(v, note); }
    void noteOn(int note, float v) override {
        unit(v, note);
        EXPECT_GT(v, 0.0f);
    }
    void pitchBend(float b) override {
        EXPECT_TRUE(b >= -0.5f && b <= 0.5f) << b;
        ++events;
    }
    int events = 0;

private:
    void unit(float x, int data1 = 0, int data2 = 0) {
        EXPECT_TRUE(x >= 0.0f && x <= 1.0f) << x;
        EXPECT_TRUE(data1 >= 0 && data1 <= 127 && data2 >= 0 && data2 <= 127) << data1;
        ++events;
    }
};
