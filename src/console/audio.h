#pragma once
// Sound: the speaker tone and wave sounds, played on the sound card through
// ALSA. Where there is no sound device the sounds are silent; nothing is
// reported, as programs do not expect sound to fail. Tests record the
// samples instead with a capture sink.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace basrt {

// Decoded wave sound: interleaved signed 16-bit samples.
struct Wave {
  int rate = 0;
  int channels = 0;
  std::vector<std::int16_t> samples;
  std::size_t frames() const { return channels ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

// Decodes a RIFF wave image: PCM with 8, 16, 24 or 32 bits, or 32- and
// 64-bit floating point, 1 to 8 channels. A data chunk that runs past the
// end of the bytes gives the samples that are there. False (with the reason
// in `why`) for anything else.
bool parse_wave(std::string_view bytes, Wave& out, std::string* why = nullptr);

// An output for samples: a sound device, or a recorder in tests.
class PcmSink {
 public:
  virtual ~PcmSink() = default;
  // Plays interleaved frames, blocking as a device does while its buffer is
  // full; false when the device failed.
  virtual bool write(const std::int16_t* samples, std::size_t frames) = 0;
  virtual void drain() = 0;  // plays what is buffered, then returns
  virtual void drop() = 0;   // stops at once
};

// Opens an output for the given format; null when there is none.
using SinkFactory = std::function<std::unique_ptr<PcmSink>(int rate, int channels)>;

// The default sound device through ALSA. Once opening it failed, later
// sounds do not try again.
SinkFactory alsa_sinks();

// What a capture sink recorded: every opened output in order, with its
// format and samples. Writes take as long as playing them would, so that
// recorded lengths match the time a sound played.
struct Capture {
  struct Stream {
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;
    bool drained = false;
    bool dropped = false;
  };
  std::mutex mutex;
  std::vector<Stream> streams;
  bool real_time = true;
};

SinkFactory capture_sinks(std::shared_ptr<Capture> capture);

// The console's sounds: one continuous tone and one wave sound at a time,
// each played by a thread of its own.
class Speaker {
 public:
  explicit Speaker(SinkFactory sinks = alsa_sinks());
  ~Speaker();
  Speaker(const Speaker&) = delete;
  Speaker& operator=(const Speaker&) = delete;

  void use_sinks(SinkFactory sinks);

  static constexpr int kToneRate = 48000;
  // Starts a square-wave tone of the given frequency that lasts until
  // silence(); a tone already sounding changes its frequency. Frequencies
  // of 18 Hz and below are ignored.
  void tone(std::int32_t frequency_hz);
  void silence();
  bool tone_sounding() const { return tone_thread_.joinable(); }

  // Plays a wave: asynchronously (returns at once) or to its end; `loop`
  // repeats an asynchronous sound until it is stopped; `no_stop` refuses
  // to interrupt a sound that is playing. A new sound stops the previous
  // one. Returns false when the sound was not started.
  bool play(std::shared_ptr<const Wave> wave, bool async, bool loop, bool no_stop);
  void stop_wave();
  bool wave_playing() const { return wave_busy_.load(); }

  void stop_all();

 private:
  void tone_loop(std::unique_ptr<PcmSink> sink);
  static void wave_loop(std::unique_ptr<PcmSink> sink, std::shared_ptr<const Wave> wave, bool loop,
                        const std::atomic<bool>& stop);

  SinkFactory sinks_;
  std::atomic<std::int32_t> frequency_{0};
  std::atomic<bool> tone_stop_{false};
  std::thread tone_thread_;
  std::atomic<bool> wave_stop_{false};
  std::atomic<bool> wave_busy_{false};
  std::thread wave_thread_;
};

}  // namespace basrt
