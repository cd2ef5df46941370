#pragma once

#include <array>
#include <cstdint>

#include "wave/FloatParameterSource.h"
#include "wave/Producer.h"

// Glided note pitch of one oscillator voice plus its pitch input (octaves above 1 Hz). A glide
// follows a fixed curve that covers about 96 % of the interval in the first fifth of the glide
// time and then settles slowly.
class PortamentoController : public wave::Source {
public:
    static constexpr float kMinPitch = -10.0f;
    static constexpr float kMaxPitch = 10.0f;
    static constexpr float kMinTime = 0.0f;  // seconds
    static constexpr float kMaxTime = 10.0f;
    // The glide time is read from its input once per this many samples.
    static constexpr int32_t kControlInterval = 64;
    // A new bend is reached linearly in this time, so that controller steps do not click.
    static constexpr float kBendGlideMs = 4.0f;

    // The two glide curves, y over t = k / kSegments: shared read-only by every controller.
    class Curves {
    public:
        static constexpr int kSegments = 4096;
        // Bezier control points (0, 0), (x1, kY1), (kX2, kY2), (1, 1); x1 differs per direction.
        static constexpr double kUpX1 = 0.19;
        static constexpr double kDownX1 = 0.25;
        static constexpr double kY1 = 0.96;
        static constexpr double kX2 = 0.25;
        static constexpr double kY2 = 0.97;
        using Table = std::array<float, kSegments + 1>;

        Curves();
        // Built on first use; the first call must come from outside the audio thread.
        static const Curves& instance();

        const Table& up() const { return up_; }
        const Table& down() const { return down_; }
        // Linear interpolation at t in [0, 1); 1 from t = 1 on.
        static float read(const Table& table, double t);

    private:
        Table up_;
        Table down_;
    };

    explicit PortamentoController(wave::Environment& env);

    // Null restores the input's own parameter source.
    void setPitchInput(wave::Producer* p) { pitchInput_ = p ? p : &defaultPitch_; }
    void setTimeInput(wave::Producer* p) { timeInput_ = p ? p : &defaultTime_; }
    wave::FloatParameterSource& defaultPitch() { return defaultPitch_; }
    wave::FloatParameterSource& defaultTime() { return defaultTime_; }

    // Glides from `from` to `to` from the next sample on.
    void startGlide(float from, float to);
    // Ends the glide where it stands: the pitch stays at the last glided value.
    void stopGlide() { gliding_ = false; }

    // A pitch offset on top of the glided pitch (a note's own bend), in octaves.
    void setBend(float octaves, bool immediately);
    float bend() const { return bend_; }

    float current() const { return current_; }
    float glideStart() const { return glideStart_; }
    float glideDistance() const { return glideDistance_; }
    double glidePosition() const { return glidePosition_; }
    bool isGliding() const { return gliding_; }
    float glideTime() const { return glideTime_; }

    // An advance-only call leaves the glide where it is.
    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;
    // Jumps to the end of the glide.
    void reset() override;

private:
    // One piece of constant glide time; true when a glide ran in it.
    bool renderPiece(const float* pitch, float* out, uint32_t frames);
    void addBend(float* out, uint32_t frames);

    const Curves* curves_;
    wave::FloatParameterSource defaultPitch_;
    wave::FloatParameterSource defaultTime_;
    wave::Producer* pitchInput_;
    wave::Producer* timeInput_;
    float current_ = 0.0f;
    float glideStart_ = 0.0f;
    float glideDistance_ = 0.0f;
    double glidePosition_ = 0.0;  // double: a float drifts by samples over a long glide
    bool gliding_ = false;
    float glideTime_ = 0.0f;
    int32_t controlCountdown_ = 0;
    float bend_ = 0.0f;
    float bendTarget_ = 0.0f;
    float bendStep_ = 0.0f;
    int32_t bendSamplesLeft_ = 0;
};
