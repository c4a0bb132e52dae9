// Sound: the tone's samples, wave images, and the sound statements, played
// into a capture sink.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "console/audio.h"
#include "console/console_state.h"
#include "engine/image_loader.h"
#include "engine/runtime.h"
#include "support/images.h"
#include "support/process.h"

namespace basrt {
namespace {

using Clock = std::chrono::steady_clock;

// The frequency of a square wave from its sign changes.
double frequency_of(const std::vector<std::int16_t>& s, int rate) {
  int changes = 0;
  std::size_t first = 0, last = 0;
  for (std::size_t i = 1; i < s.size(); ++i) {
    if ((s[i] >= 0) != (s[i - 1] >= 0)) {
      if (changes == 0) first = i;
      last = i;
      ++changes;
    }
  }
  if (changes < 3) return 0;
  return (changes - 1) / 2.0 * rate / static_cast<double>(last - first);
}

// A RIFF wave image.
std::string wave_image(int format, int channels, int rate, int bits, const std::string& data,
                       const std::string& extra_chunk = "") {
  auto le = [](std::uint32_t v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xff);
    return s;
  };
  std::string fmt = le(static_cast<std::uint32_t>(format), 2) + le(static_cast<std::uint32_t>(channels), 2) +
                    le(static_cast<std::uint32_t>(rate), 4) +
                    le(static_cast<std::uint32_t>(rate * channels * bits / 8), 4) +
                    le(static_cast<std::uint32_t>(channels * bits / 8), 2) + le(static_cast<std::uint32_t>(bits), 2);
  std::string body = "WAVE" + extra_chunk + "fmt " + le(16, 4) + fmt + "data" +
                     le(static_cast<std::uint32_t>(data.size()), 4) + data;
  return "RIFF" + le(static_cast<std::uint32_t>(body.size()), 4) + body;
}

std::string samples16(const std::vector<std::int16_t>& v) {
  std::string s(v.size() * 2, '\0');
  std::memcpy(s.data(), v.data(), s.size());
  return s;
}

// Waits until the first stream of a capture holds at least n samples.
bool wait_for_samples(Capture& capture, std::size_t n) {
  for (int i = 0; i < 1000; ++i) {
    {
      std::lock_guard<std::mutex> lock(capture.mutex);
      if (!capture.streams.empty() && capture.streams[0].samples.size() >= n) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// Waits until no wave sound plays any more.
bool wait_until_quiet(Speaker& speaker) {
  for (int i = 0; i < 1000 && speaker.wave_playing(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return !speaker.wave_playing();
}

TEST(ConsoleSound, ToneHasTheAskedFrequencyUntilSilenced) {
  auto capture = std::make_shared<Capture>();
  Speaker speaker(capture_sinks(capture));
  speaker.tone(440);
  ASSERT_TRUE(wait_for_samples(*capture, 4800));
  speaker.tone(1000);  // the same tone, another frequency
  std::size_t switched = 0;
  {
    std::lock_guard<std::mutex> lock(capture->mutex);
    switched = capture->streams[0].samples.size();
  }
  // The new frequency reaches the samples within a chunk or two.
  ASSERT_TRUE(wait_for_samples(*capture, switched + 9600));
  speaker.silence();
  EXPECT_FALSE(speaker.tone_sounding());
  std::lock_guard<std::mutex> lock(capture->mutex);
  ASSERT_EQ(capture->streams.size(), 1u);
  const auto& s = capture->streams[0];
  EXPECT_EQ(s.rate, Speaker::kToneRate);
  EXPECT_EQ(s.channels, 1);
  EXPECT_TRUE(s.dropped);
  ASSERT_GT(s.samples.size(), 9600u);
  std::vector<std::int16_t> head(s.samples.begin(), s.samples.begin() + 4800);
  std::vector<std::int16_t> tail(s.samples.end() - 4800, s.samples.end());
  EXPECT_NEAR(frequency_of(head, s.rate), 440, 2);
  EXPECT_NEAR(frequency_of(tail, s.rate), 1000, 2);
}

TEST(ConsoleSound, TonesOf18HertzAndBelowAreIgnored) {
  auto capture = std::make_shared<Capture>();
  Speaker speaker(capture_sinks(capture));
  speaker.tone(18);
  speaker.tone(-5);
  EXPECT_FALSE(speaker.tone_sounding());
  EXPECT_TRUE(capture->streams.empty());
}

TEST(ConsoleSound, WithoutASoundDeviceSoundsAreSilent) {
  Speaker speaker([](int, int) { return std::unique_ptr<PcmSink>(); });
  speaker.tone(440);
  EXPECT_FALSE(speaker.tone_sounding());
  auto w = std::make_shared<Wave>();
  w->rate = 8000;
  w->channels = 1;
  w->samples.assign(100, 0);
  EXPECT_FALSE(speaker.play(w, true, false, false));
}

TEST(ConsoleSound, WaveImagesDecodeToSixteenBitSamples) {
  struct Case {
    const char* what;
    std::string image;
    bool ok;
    int channels;
    std::vector<std::int16_t> want;
  };
  float f[2] = {0.5f, -1.0f};
  std::string floats(reinterpret_cast<const char*>(f), 8);
  std::string extensible_fmt;
  const Case cases[] = {
      {"16-bit stereo", wave_image(1, 2, 8000, 16, samples16({1, -2, 300, -32768})), true, 2, {1, -2, 300, -32768}},
      {"8-bit unsigned", wave_image(1, 1, 11025, 8, std::string("\x80\xff\x00", 3)), true, 1, {0, 32512, -32768}},
      {"24-bit", wave_image(1, 1, 8000, 24, std::string("\x00\x34\x12\xff\xff\xff", 6)), true, 1, {0x1234, -1}},
      {"32-bit float", wave_image(3, 1, 8000, 32, floats), true, 1, {16384, -32767}},
      {"an odd chunk before the format is skipped with its pad byte",
       wave_image(1, 1, 8000, 16, samples16({7}), std::string("LIST\x03\x00\x00\x00" "abc\x00", 12)), true, 1, {7}},
      {"a data chunk cut short gives the whole frames there are",
       wave_image(1, 2, 8000, 16, samples16({1, 2, 3})), true, 2, {1, 2}},
      {"not RIFF", "RIFX" + std::string(40, '\0'), false, 0, {}},
      {"no format", "RIFF\x10\x00\x00\x00WAVEdata\x00\x00\x00\x00", false, 0, {}},
      {"no channels", wave_image(1, 0, 8000, 16, samples16({1})), false, 0, {}},
      {"compressed", wave_image(2, 1, 8000, 4, "abcd"), false, 0, {}},
      {"empty", "", false, 0, {}},
  };
  for (const Case& c : cases) {
    Wave w;
    std::string why;
    EXPECT_EQ(parse_wave(c.image, w, &why), c.ok) << c.what << ": " << why;
    if (!c.ok) continue;
    EXPECT_EQ(w.channels, c.channels) << c.what;
    EXPECT_EQ(w.samples, c.want) << c.what;
  }
  // Chunk lengths that point far past the end are not followed.
  std::string huge = wave_image(1, 1, 8000, 16, samples16({5, 6}));
  huge[40] = '\xff';
  huge[41] = '\xff';
  huge[42] = '\xff';
  huge[43] = '\x7f';
  Wave w;
  ASSERT_TRUE(parse_wave(huge, w));
  EXPECT_EQ(w.samples, (std::vector<std::int16_t>{5, 6}));
}

// An engine with a capture sink, running one program.
struct Player {
  std::unique_ptr<Interp> ip = std::make_unique<Interp>();
  std::shared_ptr<Capture> capture = std::make_shared<Capture>();
  Player() { console(*ip).speaker().use_sinks(capture_sinks(capture)); }
  int run(std::string_view source) {
    load(source);
    return run_loaded(*ip);
  }
  // Runs the statements without the shutdown at the end, which stops every sound.
  void run_statements_only(std::string_view source) {
    load(source);
    run_statements(*ip);
  }
  void load(std::string_view source) {
    auto image = test::assemble(source);
    EXPECT_EQ(load_image(*ip, image.data(), static_cast<std::int64_t>(image.size())).status, LoadStatus::kOk);
  }
};

TEST(ConsoleSound, ToneStatementSoundsForTheDurationInTicks) {
  Player p;
  auto start = Clock::now();
  EXPECT_EQ(p.run("TONE #880 END #18 END"), 0);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_GE(ms, 1000) << "18 ticks of 1/18 second";
  EXPECT_LT(ms, 5000);
  std::lock_guard<std::mutex> lock(p.capture->mutex);
  ASSERT_EQ(p.capture->streams.size(), 1u);
  const auto& s = p.capture->streams[0];
  EXPECT_TRUE(s.dropped) << "the tone stops after its time";
  EXPECT_NEAR(frequency_of(s.samples, s.rate), 880, 2);
  EXPECT_GT(s.samples.size(), 16000u) << "a third of the second at least, however busy the machine";
}

TEST(ConsoleSound, PlaySoundFileSynchronouslyAsynchronouslyAndStopped) {
  test::TempDir dir;
  std::vector<std::int16_t> tune;
  for (int i = 0; i < 4000; ++i) tune.push_back(static_cast<std::int16_t>(i * 7));
  const std::string path = dir.file("tune.wav");
  ASSERT_TRUE(test::write_bytes(path, wave_image(1, 1, 8000, 16, samples16(tune))));  // half a second

  {  // Flags 0: the statement returns when the sound has played.
    Player p;
    auto start = Clock::now();
    p.run("PLAYSOUND \"" + path + "\" END #0 END");
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(450));
    std::lock_guard<std::mutex> lock(p.capture->mutex);
    ASSERT_EQ(p.capture->streams.size(), 1u);
    EXPECT_EQ(p.capture->streams[0].rate, 8000);
    EXPECT_TRUE(p.capture->streams[0].samples == tune);
    EXPECT_TRUE(p.capture->streams[0].drained);
  }
  {  // Asynchronous (1): the statement returns while the sound plays; another
     // play with "no stop" (0x10) does not interrupt it; an empty name stops it.
    const std::string long_path = dir.file("long.wav");
    std::vector<std::int16_t> long_tune(8000 * 60, 100);  // a minute
    ASSERT_TRUE(test::write_bytes(long_path, wave_image(1, 1, 8000, 16, samples16(long_tune))));
    Player p;
    auto start = Clock::now();
    p.run_statements_only("PLAYSOUND \"" + long_path + "\" END #1 END  PLAYSOUND \"" + path + "\" END #17 END");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
    EXPECT_TRUE(console(*p.ip).speaker().wave_playing());
    p.run_statements_only(R"(PLAYSOUND "" END #0 END  PLAYSOUND "" END #0 END)");
    EXPECT_FALSE(console(*p.ip).speaker().wave_playing());
    std::lock_guard<std::mutex> lock(p.capture->mutex);
    ASSERT_EQ(p.capture->streams.size(), 1u);
    EXPECT_TRUE(p.capture->streams[0].dropped);
    EXPECT_LT(p.capture->streams[0].samples.size(), long_tune.size());
  }
  {  // The end of the run stops a sound that is still playing.
    Player p;
    p.run("PLAYSOUND \"" + path + "\" END #9 END");  // asynchronous, looped
    EXPECT_FALSE(console(*p.ip).speaker().wave_playing());
  }
  {  // A file that is missing or no wave plays nothing and reports nothing.
    Player p;
    test::write_bytes(dir.file("text.wav"), "not a sound");
    EXPECT_EQ(p.run("PLAYSOUND \"" + dir.file("missing.wav") + "\" END #0 END  PLAYSOUND \"" + dir.file("text.wav") +
                    "\" END #0 END"),
              0);
    EXPECT_TRUE(p.capture->streams.empty());
  }
}

std::string asm_bytes(const std::string& bytes) {
  std::string out;
  char buf[8];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, " %u", c);
    out += buf;
  }
  return out;
}

TEST(ConsoleSound, PlaySoundResourceKeepsItsOwnCopyWhilePlaying) {
  std::vector<std::int16_t> tune;
  for (int i = 0; i < 1600; ++i) tune.push_back(static_cast<std::int16_t>(1000 - i));
  const std::string image = wave_image(1, 1, 8000, 16, samples16(tune));  // 0.2 seconds
  Player p;
  // Resource 1 plays asynchronously; resource 9 does not exist and plays nothing.
  p.run_statements_only(".res junk\n.bytes 1 2 3\n.endres\n.res tune\n.bytes" + asm_bytes(image) +
                        "\n.endres\n PLAYRES 9 #1 END\n PLAYRES 1 #1 END\n");
  EXPECT_TRUE(to_std(p.ip->scratch) == image) << "the payload goes through the scratch stream";
  // The scratch stream is reused while the sound plays.
  p.ip->scratch.assign(image.size(), 'x');
  ASSERT_TRUE(wait_until_quiet(console(*p.ip).speaker()));
  std::lock_guard<std::mutex> lock(p.capture->mutex);
  ASSERT_EQ(p.capture->streams.size(), 1u);
  EXPECT_TRUE(p.capture->streams[0].samples == tune);
  EXPECT_TRUE(p.capture->streams[0].drained);
}

// The real ALSA output, with a configuration whose default device writes
// what it is given into a file (and plays it nowhere).
struct AlsaFileDevice {
  test::TempDir dir;
  std::string config = dir.file("asound.conf");
  AlsaFileDevice() {
    test::write_bytes(config, "pcm.!default {\n  type file\n  slave.pcm { type null }\n  file \"" +
                                  dir.file("played.raw") + "\"\n  format \"raw\"\n}\n");
  }
  test::ProcessResult run(std::string_view source) {
    auto image = test::assemble(source);
    const std::string program = dir.file("sound.exe");
    test::write_bytes(program, test::with_trailer(std::string(image.begin(), image.end())));
    test::ProcessOptions o;
    o.env = {"ALSA_CONFIG_PATH=" + config};
    return test::run_process({BASRT_ENGINE, program}, o);
  }
  // What the device was given, as 16-bit samples.
  std::vector<std::int16_t> played() {
    std::string bytes = test::read_bytes(dir.file("played.raw"));
    std::vector<std::int16_t> s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
  }
};

TEST(ConsoleSound, ToneAndWaveReachTheSoundDeviceThroughAlsa) {
  {
    AlsaFileDevice device;
    auto r = device.run("TONE #3000 END #2 END");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::vector<std::int16_t> s = device.played();
    // A device without a clock takes samples as fast as they come: the
    // tone's length says nothing here, its frequency does. A tone gives at
    // least one chunk of 10 ms, however late its thread gets to run.
    ASSERT_GE(s.size(), 480u) << "no samples reached the device";
    if (s.size() > 4800) s.resize(4800);
    EXPECT_NEAR(frequency_of(s, Speaker::kToneRate), 3000, 30);
  }
  {
    AlsaFileDevice device;
    std::vector<std::int16_t> tune;
    for (int i = 0; i < 3000; ++i) tune.push_back(static_cast<std::int16_t>(i * 11 - 16000));
    const std::string path = device.dir.file("tune.wav");
    ASSERT_TRUE(test::write_bytes(path, wave_image(1, 1, 8000, 16, samples16(tune))));
    auto r = device.run("PLAYSOUND \"" + path + "\" END #0 END");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(device.played() == tune) << "the samples as they are, at the wave's own rate";
  }
}

}  // namespace
}  // namespace basrt
