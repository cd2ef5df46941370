#pragma once

#include <gmock/gmock.h>

#include <memory>
#include <vector>

#include "framework/MidiMessageReceiver.h"
#include "midi/AbstractChannelEventReceiver.h"
#include "midi/AbstractMusicEventReceiver.h"
#include "midi/MidiListener.h"

class MockChannelReceiver : public AbstractChannelEventReceiver {
public:
    MOCK_METHOD(void, rawMessage, (uint8_t, uint8_t, uint8_t), (override));
    MOCK_METHOD(void, channelPressure, (float), (override));
    MOCK_METHOD(void, polyPressure, (int, float), (override));
    MOCK_METHOD(void, controller, (int, int, float), (override));
    MOCK_METHOD(void, noteOff, (int, float), (override));
    MOCK_METHOD(void, noteOn, (int, float), (override));
    MOCK_METHOD(void, mappedController, (int, float), (override));
    MOCK_METHOD(void, pitchBend, (float), (override));
    MOCK_METHOD(void, programChange, (int, int), (override));
};

class MockListener : public MidiListener {
public:
    MOCK_METHOD(void, channelPressure, (float), (override));
    MOCK_METHOD(void, polyPressure, (int, float), (override));
    MOCK_METHOD(void, controller, (int, int, float), (override));
    MOCK_METHOD(void, modWheel, (float), (override));
    MOCK_METHOD(void, noteOff, (int, float), (override));
    MOCK_METHOD(void, noteOn, (int, float), (override));
    MOCK_METHOD(void, pitchBend, (float), (override));
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

// Counts calls and checks that every value stays inside its documented range. A mock would
// allocate.
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
        EXPECT_GE(x, 0.0f);
        EXPECT_LE(x, 1.0f);
        for (int d : {data1, data2}) EXPECT_TRUE(d >= 0 && d <= 127) << d;
        ++events;
    }
};
