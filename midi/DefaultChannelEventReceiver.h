#pragma once

#include <functional>

#include "midi/AbstractChannelEventReceiver.h"

class GenericPlugin;

// Plays notes on the plug-in, applies mapped controllers to its parameters and hands program
// changes to the program-change handler, then forwards the events to the listeners.
class DefaultChannelEventReceiver : public AbstractChannelEventReceiver {
public:
    // Called with (bank, program); decides whether and which preset to load.
    using ProgramChangeHandler = std::function<void(int bank, int program)>;

    explicit DefaultChannelEventReceiver(GenericPlugin& plugin,
                                         MidiControllerMap* controllerMap = nullptr);

    void noteOff(int note, float velocity) override;
    void noteOn(int note, float velocity) override;
    void controller(int number, int value, float normalized) override;
    void mappedController(int parameterId, float normalized) override;
    void programChange(int bank, int program) override;

    // Set before processing starts: the audio thread calls the handler without synchronisation.
    void setProgramChangeHandler(ProgramChangeHandler handler) {
        programChangeHandler_ = std::move(handler);
    }

private:
    GenericPlugin& plugin_;
    ProgramChangeHandler programChangeHandler_;
};
