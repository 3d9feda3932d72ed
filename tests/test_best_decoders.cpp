// The decoders people use read the image data of --best exactly as they read the plain image data
// of the same frames: giflib, gifsicle (gifdiff), Pillow, ImageMagick, ffmpeg, Qt's image reader
// and a browser (headless Chromium drawing every frame onto a canvas). --best's streams may code
// on against a full LZW table and clear wherever that pays; each output of the real corpus, and
// hand-made streams that never clear, clear late and clear at every place, is paired with the
// same frames saved by the built-in encoder (which clears as soon as the table is full), and
// every decoder must give the same frames for both files of a pair.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "best/lzw_choice_compressor.h"
#include "best/lzw_encoder_choices.h"
#include "best/smallest.h"
#include "corpus.h"
#include "files.h"
#include "files/whole_file.h"
#include "gif_bytes.h"
#include "gifdiff.h"
#include "temp_folder.h"

namespace lumatrim {
namespace {

namespace fs = std::filesystem;
using namespace testing;
using Bytes = std::vector<uint8_t>;

// The standard output of command, run by the shell; empty when it fails.
std::string OutputOf(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[65536];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  return pclose(pipe) == 0 ? output : std::string();
}

std::string Quoted(const fs::path& path) {
  std::string quoted(1, '\'');
  quoted.append(path.string()).push_back('\'');
  return quoted;
}

// A 64-bit FNV-1a hash of a decoder's output, so that failures print something short.
std::string HashOf(const std::string& bytes) {
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  return std::to_string(bytes.size()) + ":" + std::to_string(hash);
}

// One image's stream as --best's compressor writes it with the clears given, coding on against a
// full table between them.
Bytes StreamWithClears(const Bytes& pixels, int codeSize, const std::vector<size_t>& clears) {
  std::vector<int16_t> children;
  std::vector<uint32_t> links;
  Bytes data;
  CodePacker writer(data, lzw_choices::kBlockSize);
  lzw_choices::Compressor(children, links, codeSize, pixels, pixels, &writer,
                          lzw_choices::FullDictionary::kKeepCoding, clears)
      .Run();
  writer.Finish();
  return data;
}

// Pixels in short runs of random values below 1 << codeSize: enough strings to fill the table.
Bytes RunsOfNoise(size_t count, int codeSize, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes pixels;
  uint8_t value = 0;
  for (size_t i = 0; i < count; ++i) {
    if (random() % 3 == 0) value = uint8_t(random() % (1u << codeSize));
    pixels.push_back(value);
  }
  return pixels;
}

class BestDecodersTest : public ::testing::Test {
 protected:
  // The pairs: NAME.best.gif and NAME.plain.gif for every case.
  static void SetUpTestSuite() {
    folder_ = new TempFolder("best-decoders");
    names_ = new std::vector<std::string>;
    for (const fs::path& input : CleanRealFiles()) AddRealFile(input);
    AddHandMade();
  }
  static void TearDownTestSuite() {
    delete folder_;
    delete names_;
  }

  static void AddRealFile(const fs::path& input) {
    cGIF doc;
    ASSERT_TRUE(doc.LoadFromFile(input.string()));
    ReductionOptions options;
    options.best = true;
    const Bytes bytes = ReadBytes(input);
    const Result<Bytes> best =
        best::SmallestBytes(doc, options, [&](cGIF& fresh) { return fresh.LoadFromStream(bytes); });
    ASSERT_TRUE(best) << best.reason();
    const std::string name = input.stem().string();
    const fs::path bestPath = *folder_ / (name + ".best.gif");
    ASSERT_TRUE(WriteWholeFile(bestPath.string(), *best).ok());
    // The same frames through the built-in encoder.
    cGIF again;
    ASSERT_TRUE(again.LoadFromFile(bestPath.string()));
    ASSERT_TRUE(again.Save((*folder_ / (name + ".plain.gif")).string()));
    names_->push_back(name);
  }

  static void AddHandMade() {
    struct Case {
      std::string name;
      int width, height, codeSize;
      // Clear places, as a step between them (0 for none) or one place.
      size_t every, at;
    };
    for (const Case& c :
         {Case{"never-clears", 600, 500, 8, 0, 0}, Case{"clears-late", 600, 500, 8, 0, 250000},
          Case{"clears-at-every-place", 600, 500, 8, 4096, 0},
          Case{"clears-at-every-row", 300, 200, 3, 300, 0},
          Case{"small-table-never-clears", 300, 400, 2, 0, 0}}) {
      const Bytes pixels = RunsOfNoise(size_t(c.width) * size_t(c.height), c.codeSize, 5);
      std::vector<size_t> clears;
      if (c.at > 0) clears.push_back(c.at);
      for (size_t at = c.every; c.every > 0 && at < pixels.size(); at += c.every) {
        clears.push_back(at);
      }
      Bytes plain;
      lzw_choices::ChoiceEncoder().Encode(plain, pixels, pixels, c.codeSize);
      const auto gif = [&](const Bytes& blocks) {
        return OneImageGif(uint16_t(c.width), uint16_t(c.height), uint8_t(c.codeSize), blocks);
      };
      WriteBytes(c.name + ".best.gif", gif(StreamWithClears(pixels, c.codeSize, clears)));
      WriteBytes(c.name + ".plain.gif", gif(plain));
      names_->push_back(c.name);
    }
  }

  static void WriteBytes(const std::string& name, const Bytes& bytes) {
    ASSERT_TRUE(WriteWholeFile((*folder_ / name).string(), bytes).ok());
  }

  static fs::path Best(const std::string& name) { return *folder_ / (name + ".best.gif"); }
  static fs::path Plain(const std::string& name) { return *folder_ / (name + ".plain.gif"); }

  // For every pair, decode(file) of both files must be equal and not empty.
  template <typename Decode>
  void ExpectPairsAgree(Decode decode) {
    ASSERT_GT(names_->size(), 40u);
    size_t read = 0;
    for (const std::string& name : *names_) {
      SCOPED_TRACE(name);
      // A file the decoder can't read in its plain form (a screen too large for it, say) is
      // none of the encoder's business.
      const std::string plain = decode(Plain(name));
      if (plain.empty()) continue;
      ++read;
      EXPECT_EQ(HashOf(decode(Best(name))), HashOf(plain));
    }
    EXPECT_GT(read, 40u) << "the decoder read too few files to judge";
  }

  // One tool run over every file, whose output holds a block per file that starts with the line
  // "file PATH": the blocks by path.
  static std::map<std::string, std::string> BlocksByFile(const std::string& output) {
    std::map<std::string, std::string> blocks;
    std::istringstream lines(output);
    std::string line, file;
    while (std::getline(lines, line)) {
      if (line.rfind("file ", 0) == 0) {
        file = line.substr(5);
        const size_t frames = file.find(" frames ");
        if (frames != std::string::npos) {
          blocks[file.substr(0, frames)] += line.substr(5 + frames) + "\n";
          file = file.substr(0, frames);
        }
        continue;
      }
      if (!file.empty()) blocks[file] += line + "\n";
    }
    return blocks;
  }

  void ExpectBlocksAgree(const std::map<std::string, std::string>& blocks) {
    size_t read = 0;
    for (const std::string& name : *names_) {
      SCOPED_TRACE(name);
      const auto best = blocks.find(Best(name).string());
      const auto plain = blocks.find(Plain(name).string());
      ASSERT_NE(best, blocks.end());
      ASSERT_NE(plain, blocks.end());
      EXPECT_EQ(best->second, plain->second);
      // A frame line ("WIDTHxHEIGHT HASH") after the count: the decoder read the file.
      if (std::regex_search(plain->second, std::regex("\\d+x\\d+ "))) ++read;
    }
    EXPECT_GT(read, 40u) << "the decoder read too few files to judge";
  }

  static inline TempFolder* folder_ = nullptr;
  static inline std::vector<std::string>* names_ = nullptr;
};

TEST_F(BestDecodersTest, Giflib) {
  ExpectPairsAgree([](const fs::path& path) {
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.string().c_str(), &error);
    std::string pixels;
    if (gif == nullptr) return pixels;
    if (DGifSlurp(gif) == GIF_OK) {
      for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        pixels.append(reinterpret_cast<const char*>(image.RasterBits),
                      size_t(image.ImageDesc.Width) * size_t(image.ImageDesc.Height));
      }
    }
    DGifCloseFile(gif, &error);
    return pixels;
  });
}

TEST_F(BestDecodersTest, GifsicleGifdiff) {
  for (const std::string& name : *names_) {
    if (GifdiffReads(Plain(name))) {
      EXPECT_EQ(Gifdiff(Best(name), Plain(name)), 0) << name;
    }
  }
}

TEST_F(BestDecodersTest, Pillow) {
  // Debian's own Python, where python3-pil installs.
  ExpectPairsAgree([](const fs::path& path) {
    return OutputOf(
        "/usr/bin/python3 -c 'import sys; from PIL import Image, ImageSequence; "
        "[sys.stdout.buffer.write(f.convert(\"RGBA\").tobytes()) "
        "for f in ImageSequence.Iterator(Image.open(sys.argv[1]))]' " +
        Quoted(path) + " 2>/dev/null");
  });
}

TEST_F(BestDecodersTest, ImageMagick) {
  ExpectPairsAgree([](const fs::path& path) {
    // The Debian package's convert, whatever else the path holds.
    return OutputOf("/usr/bin/convert " + Quoted(path) + " -coalesce rgba:- 2>/dev/null");
  });
}

TEST_F(BestDecodersTest, Ffmpeg) {
  ExpectPairsAgree([](const fs::path& path) {
    return OutputOf("ffmpeg -v error -i " + Quoted(path) +
                    " -fps_mode passthrough -f rawvideo -pix_fmt rgba - 2>/dev/null");
  });
}

TEST_F(BestDecodersTest, QtImageReader) {
  std::string command = "QT_QPA_PLATFORM=offscreen '" LUMATRIM_QT_FRAMES "'";
  for (const std::string& name : *names_) {
    command.append(" ").append(Quoted(Best(name))).append(" ").append(Quoted(Plain(name)));
  }
  ExpectBlocksAgree(BlocksByFile(OutputOf(command + " 2>/dev/null")));
}

TEST_F(BestDecodersTest, ChromiumCanvas) {
  // The page of tests/decoders with every file in it; the browser writes its lines into the page,
  // which --dump-dom prints once the page's work is done.
  std::string files = "[";
  for (const std::string& name : *names_) {
    for (const fs::path& path : {Best(name), Plain(name)}) {
      const std::string bytes = ReadAll(path);
      static const char* digits =
          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
      std::string base64;
      for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = uint32_t(uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size()) group |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) group |= uint8_t(bytes[i + 2]);
        base64 += digits[(group >> 18) & 63];
        base64 += digits[(group >> 12) & 63];
        base64 += i + 1 < bytes.size() ? digits[(group >> 6) & 63] : '=';
        base64 += i + 2 < bytes.size() ? digits[group & 63] : '=';
      }
      files += "['" + path.string() + "','" + base64 + "'],";
    }
  }
  files += "]";
  std::string page = ReadAll(fs::path(LUMATRIM_TESTS_DIR) / "decoders/chromium_frames.html");
  const std::string marker = "/*FILES*/[]";
  ASSERT_NE(page.find(marker), std::string::npos);
  page.replace(page.find(marker), marker.size(), files);
  const fs::path pagePath = *folder_ / "frames.html";
  WriteAll(pagePath, page);
  // CI runs as root, where Chromium's sandbox can't start.
  const std::string output = OutputOf(
      "chromium --headless --no-sandbox --disable-gpu --allow-file-access-from-files "
      "--user-data-dir=" +
      Quoted(*folder_ / "chromium-profile") + " --virtual-time-budget=600000 --dump-dom 'file://" +
      pagePath.string() + "' 2>/dev/null");
  const size_t start = output.find("<pre id=\"out\">");
  const size_t end = output.find("\ndone</pre>");
  ASSERT_TRUE(start != std::string::npos && end != std::string::npos) << "the page did not finish";
  const size_t from = start + std::string("<pre id=\"out\">").size();
  ExpectBlocksAgree(BlocksByFile(output.substr(from, end - from)));
}

}  // namespace
}  // namespace lumatrim
