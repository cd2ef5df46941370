#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

class MidiControllerMap;
class MidiListener;

// Handles the decoded events of one channel index. By default every event goes to the listeners
// in list order; controllers also drive MIDI learn and the controller map.
class AbstractChannelEventReceiver {
public:
    static constexpr int32_t kNoLearnParameter = -1;
    // Room reserved up front so that re-adding listeners on the audio thread does not allocate:
    // one MIDI cache per voice plus a few global listeners.
    static constexpr size_t kListenerCapacity = 64;

    explicit AbstractChannelEventReceiver(MidiControllerMap* controllerMap = nullptr);
    virtual ~AbstractChannelEventReceiver() = default;
    AbstractChannelEventReceiver(const AbstractChannelEventReceiver&) = delete;
    AbstractChannelEventReceiver& operator=(const AbstractChannelEventReceiver&) = delete;

    // The message as it arrived, before decoding.
    virtual void rawMessage(uint8_t /*status*/, uint8_t /*data1*/, uint8_t /*data2*/) {}
    virtual void channelPressure(float pressure);
    virtual void polyPressure(int note, float pressure);
    virtual void controller(int number, int value, float normalized);
    virtual void noteOff(int note, float velocity);
    virtual void noteOn(int note, float velocity);
    virtual void mappedController(int /*parameterId*/, float /*normalized*/) {}
    virtual void pitchBend(float bend);
    virtual void programChange(int /*bank*/, int /*program*/) {}

    // Audio thread, or before processing starts.
    void addListener(MidiListener* listener);
    // Removes every occurrence.
    void removeListener(MidiListener* listener);
    const std::vector<MidiListener*>& listeners() const { return listeners_; }

    // While a learn parameter is set, the next controller is assigned to it. Any thread.
    void setLearnParameter(int32_t id) { learnParameter_.store(id, std::memory_order_relaxed); }
    int32_t learnParameter() const { return learnParameter_.load(std::memory_order_relaxed); }

    // Null: nothing is mapped and learning does nothing.
    void setControllerMap(MidiControllerMap* map) { controllerMap_ = map; }
    MidiControllerMap* controllerMap() const { return controllerMap_; }

private:
    MidiControllerMap* controllerMap_;
    std::vector<MidiListener*> listeners_;
    std::atomic<int32_t> learnParameter_{kNoLearnParameter};
};
