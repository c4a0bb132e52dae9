#include "console/audio.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace basrt {

namespace {

std::uint32_t le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

bool fail(std::string* why, const char* reason) {
  if (why) *why = reason;
  return false;
}

std::int16_t clamp16(double v) {
  v = std::clamp(v, -1.0, 1.0);
  return static_cast<std::int16_t>(std::lrint(v * 32767.0));
}

}  // namespace

bool parse_wave(std::string_view bytes, Wave& out, std::string* why) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  if (size < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0)
    return fail(why, "not a RIFF wave image");
  int tag = -1, channels = 0, bits = 0;
  std::uint32_t rate = 0;
  const unsigned char* data = nullptr;
  std::size_t data_size = 0;
  std::size_t at = 12;
  while (at + 8 <= size) {
    const unsigned char* chunk = p + at;
    const std::uint64_t len = le32(chunk + 4);
    const std::size_t body = at + 8;
    const std::size_t avail = static_cast<std::size_t>(std::min<std::uint64_t>(len, size - body));
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (avail < 16) return fail(why, "the format chunk is too short");
      const unsigned char* f = p + body;
      tag = le16(f);
      channels = le16(f + 2);
      rate = le32(f + 4);
      bits = le16(f + 14);
      if (tag == 0xFFFE) {
        if (avail < 26) return fail(why, "the extensible format chunk is too short");
        tag = le16(f + 24);
      }
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      data = p + body;
      data_size = avail;
      break;
    }
    // Chunks are padded to an even length.
    std::uint64_t next = body + len + (len & 1);
    if (next > size) break;
    at = static_cast<std::size_t>(next);
  }
  if (tag < 0) return fail(why, "no format chunk");
  if (!data) return fail(why, "no data chunk");
  if (channels < 1 || channels > 8) return fail(why, "unsupported channel count");
  if (rate < 1000 || rate > 384000) return fail(why, "unsupported sample rate");
  const bool pcm = tag == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
  const bool real = tag == 3 && (bits == 32 || bits == 64);
  if (!pcm && !real) return fail(why, "unsupported sample format");

  const std::size_t width = static_cast<std::size_t>(bits / 8);
  const std::size_t count = data_size / (width * static_cast<std::size_t>(channels)) * static_cast<std::size_t>(channels);
  out.rate = static_cast<int>(rate);
  out.channels = channels;
  out.samples.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned char* s = data + i * width;
    std::int16_t v = 0;
    if (pcm) {
      switch (bits) {
        case 8: v = static_cast<std::int16_t>((s[0] - 128) * 256); break;
        case 16: v = static_cast<std::int16_t>(le16(s)); break;
        case 24: v = static_cast<std::int16_t>(s[1] | s[2] << 8); break;
        default: v = static_cast<std::int16_t>(s[2] | s[3] << 8); break;
      }
    } else if (bits == 32) {
      float f;
      std::memcpy(&f, s, 4);
      v = clamp16(std::isfinite(f) ? f : 0.0f);
    } else {
      double d;
      std::memcpy(&d, s, 8);
      v = clamp16(std::isfinite(d) ? d : 0.0);
    }
    out.samples[i] = v;
  }
  return true;
}

// ---- ALSA ----

namespace {

void quiet_alsa(const char*, int, const char*, int, const char*, ...) {}

// ALSA is loaded when the first sound plays, so that the many programs that
// make no sound do not pay for loading it when the engine starts.
struct Alsa {
  decltype(&snd_pcm_open) pcm_open = nullptr;
  decltype(&snd_pcm_nonblock) pcm_nonblock = nullptr;
  decltype(&snd_pcm_set_params) pcm_set_params = nullptr;
  decltype(&snd_pcm_writei) pcm_writei = nullptr;
  decltype(&snd_pcm_recover) pcm_recover = nullptr;
  decltype(&snd_pcm_drain) pcm_drain = nullptr;
  decltype(&snd_pcm_drop) pcm_drop = nullptr;
  decltype(&snd_pcm_close) pcm_close = nullptr;
  decltype(&snd_lib_error_set_handler) error_set_handler = nullptr;
  bool ok = false;
};

const Alsa& alsa() {
  static const Alsa library = [] {
    Alsa a;
    void* h = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!h) return a;
    auto get = [h](auto& fn, const char* name) { fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(h, name)); };
    get(a.pcm_open, "snd_pcm_open");
    get(a.pcm_nonblock, "snd_pcm_nonblock");
    get(a.pcm_set_params, "snd_pcm_set_params");
    get(a.pcm_writei, "snd_pcm_writei");
    get(a.pcm_recover, "snd_pcm_recover");
    get(a.pcm_drain, "snd_pcm_drain");
    get(a.pcm_drop, "snd_pcm_drop");
    get(a.pcm_close, "snd_pcm_close");
    get(a.error_set_handler, "snd_lib_error_set_handler");
    a.ok = a.pcm_open && a.pcm_nonblock && a.pcm_set_params && a.pcm_writei && a.pcm_recover && a.pcm_drain && a.pcm_drop &&
           a.pcm_close && a.error_set_handler;
    return a;
  }();
  return library;
}

class AlsaSink final : public PcmSink {
 public:
  AlsaSink(snd_pcm_t* pcm, int channels) : pcm_(pcm), channels_(channels) {}
  ~AlsaSink() override { alsa().pcm_close(pcm_); }

  bool write(const std::int16_t* samples, std::size_t frames) override {
    while (frames > 0) {
      snd_pcm_sframes_t r = alsa().pcm_writei(pcm_, samples, frames);
      if (r == -EAGAIN) continue;
      if (r < 0) {
        if (alsa().pcm_recover(pcm_, static_cast<int>(r), 1) < 0) return false;
        continue;
      }
      samples += static_cast<std::size_t>(r) * static_cast<std::size_t>(channels_);
      frames -= static_cast<std::size_t>(r);
    }
    return true;
  }
  void drain() override { alsa().pcm_drain(pcm_); }
  void drop() override { alsa().pcm_drop(pcm_); }

 private:
  snd_pcm_t* pcm_;
  int channels_;
};

std::atomic<bool> g_no_sound_device{false};

}  // namespace

SinkFactory alsa_sinks() {
  return [](int rate, int channels) -> std::unique_ptr<PcmSink> {
    if (g_no_sound_device.load()) return nullptr;
    const Alsa& lib = alsa();
    if (!lib.ok) {
      g_no_sound_device.store(true);
      return nullptr;
    }
    // ALSA reports a missing card on standard error; the engine stays quiet.
    lib.error_set_handler(quiet_alsa);
    // Opened without waiting: a device that another program holds would
    // otherwise keep the sound statement waiting until it is released. The
    // sound itself is written with waits, as the device plays it.
    snd_pcm_t* pcm = nullptr;
    const int opened = lib.pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (opened == -EBUSY || opened == -EAGAIN) return nullptr;  // busy now: silent this time
    if (opened < 0) {
      g_no_sound_device.store(true);
      return nullptr;
    }
    if (lib.pcm_nonblock(pcm, 0) < 0) {
      lib.pcm_close(pcm);
      return nullptr;
    }
    // A short buffer, so that a tone stops soon after it is silenced.
    if (lib.pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                           static_cast<unsigned>(channels), static_cast<unsigned>(rate), 1, 60000) < 0) {
      lib.pcm_close(pcm);
      return nullptr;
    }
    return std::make_unique<AlsaSink>(pcm, channels);
  };
}

// ---- capture ----

namespace {

class CaptureSink final : public PcmSink {
 public:
  CaptureSink(std::shared_ptr<Capture> c, std::size_t index, int rate, int channels)
      : capture_(std::move(c)), index_(index), rate_(rate), channels_(channels) {}

  bool write(const std::int16_t* samples, std::size_t frames) override {
    {
      std::lock_guard<std::mutex> lock(capture_->mutex);
      auto& s = capture_->streams[index_].samples;
      s.insert(s.end(), samples, samples + frames * static_cast<std::size_t>(channels_));
    }
    if (capture_->real_time)
      std::this_thread::sleep_for(std::chrono::microseconds(static_cast<std::int64_t>(frames) * 1000000 / rate_));
    return true;
  }
  void drain() override {
    std::lock_guard<std::mutex> lock(capture_->mutex);
    capture_->streams[index_].drained = true;
  }
  void drop() override {
    std::lock_guard<std::mutex> lock(capture_->mutex);
    capture_->streams[index_].dropped = true;
  }

 private:
  std::shared_ptr<Capture> capture_;
  std::size_t index_;
  int rate_, channels_;
};

}  // namespace

SinkFactory capture_sinks(std::shared_ptr<Capture> capture) {
  return [capture](int rate, int channels) -> std::unique_ptr<PcmSink> {
    std::lock_guard<std::mutex> lock(capture->mutex);
    capture->streams.push_back(Capture::Stream{rate, channels, {}, false, false});
    return std::make_unique<CaptureSink>(capture, capture->streams.size() - 1, rate, channels);
  };
}

// ---- the speaker ----

namespace {

// Sounds still playing when the process exits are stopped before the
// libraries they use are torn down.
std::mutex g_speakers_mutex;
std::vector<Speaker*> g_speakers;

void stop_speakers_at_exit() {
  std::lock_guard<std::mutex> lock(g_speakers_mutex);
  for (Speaker* s : g_speakers) s->stop_all();
}

constexpr std::size_t kChunkFrames = 480;  // 10 ms at the tone's rate

}  // namespace

Speaker::Speaker(SinkFactory sinks) : sinks_(std::move(sinks)) {
  static const bool registered = [] {
    std::atexit(stop_speakers_at_exit);
    return true;
  }();
  (void)registered;
  std::lock_guard<std::mutex> lock(g_speakers_mutex);
  g_speakers.push_back(this);
}

Speaker::~Speaker() {
  stop_all();
  std::lock_guard<std::mutex> lock(g_speakers_mutex);
  g_speakers.erase(std::remove(g_speakers.begin(), g_speakers.end(), this), g_speakers.end());
}

void Speaker::use_sinks(SinkFactory sinks) {
  stop_all();
  sinks_ = std::move(sinks);
}

void Speaker::tone(std::int32_t frequency_hz) {
  if (frequency_hz <= 18) return;
  frequency_.store(frequency_hz);
  if (tone_thread_.joinable()) return;
  std::unique_ptr<PcmSink> sink = sinks_ ? sinks_(kToneRate, 1) : nullptr;
  if (!sink) return;
  tone_stop_.store(false);
  tone_thread_ = std::thread([this, s = std::move(sink)]() mutable { tone_loop(std::move(s)); });
}

void Speaker::tone_loop(std::unique_ptr<PcmSink> sink) {
  // A square wave whose phase runs on across chunks and frequency changes.
  // The first chunk goes out however soon the tone is stopped, as a speaker
  // switched on and off at once still clicks.
  constexpr std::int16_t kAmplitude = 6000;
  std::vector<std::int16_t> chunk(kChunkFrames);
  double phase = 0;
  for (bool first = true; first || !tone_stop_.load(); first = false) {
    const double step = static_cast<double>(frequency_.load()) / kToneRate;
    for (auto& s : chunk) {
      s = phase < 0.5 ? kAmplitude : static_cast<std::int16_t>(-kAmplitude);
      phase += step;
      phase -= std::floor(phase);
    }
    if (!sink->write(chunk.data(), chunk.size())) break;
  }
  sink->drop();
}

void Speaker::silence() {
  if (!tone_thread_.joinable()) return;
  tone_stop_.store(true);
  tone_thread_.join();
}

void Speaker::wave_loop(std::unique_ptr<PcmSink> sink, std::shared_ptr<const Wave> wave, bool loop,
                        const std::atomic<bool>& stop) {
  const std::size_t frames = wave->frames();
  const auto ch = static_cast<std::size_t>(wave->channels);
  do {
    for (std::size_t at = 0; at < frames && !stop.load(); at += kChunkFrames) {
      const std::size_t n = std::min(kChunkFrames, frames - at);
      if (!sink->write(wave->samples.data() + at * ch, n)) return;
    }
  } while (loop && !stop.load() && frames > 0);
  if (stop.load()) sink->drop();
  else sink->drain();
}

bool Speaker::play(std::shared_ptr<const Wave> wave, bool async, bool loop, bool no_stop) {
  if (no_stop && wave_busy_.load()) return false;
  stop_wave();
  if (!wave || wave->frames() == 0) return false;
  std::unique_ptr<PcmSink> sink = sinks_ ? sinks_(wave->rate, wave->channels) : nullptr;
  if (!sink) return false;
  wave_stop_.store(false);
  if (!async) {
    wave_loop(std::move(sink), std::move(wave), false, wave_stop_);
    return true;
  }
  wave_busy_.store(true);
  wave_thread_ = std::thread([this, s = std::move(sink), w = std::move(wave), loop]() mutable {
    wave_loop(std::move(s), std::move(w), loop, wave_stop_);
    wave_busy_.store(false);
  });
  return true;
}

void Speaker::stop_wave() {
  if (!wave_thread_.joinable()) return;
  wave_stop_.store(true);
  wave_thread_.join();
  wave_busy_.store(false);
}

void Speaker::stop_all() {
  silence();
  stop_wave();
}

}  // namespace basrt
