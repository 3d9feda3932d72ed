#include "cli/info_command.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <ostream>

#include "cli/document_info.h"
#include "gif/geometry.h"

namespace lumatrim::cli {

namespace {

const char* DisposalName(int32_t disposal) {
  switch (disposal) {
    case 0:
      return "none";
    case 1:
      return "keep";
    case 2:
      return "background";
    case 3:
      return "previous";
    default:
      return "undefined";
  }
}

// A comment as one line of printable ASCII: quotes, backslashes and other bytes escaped, long
// texts shortened.
std::string QuotedComment(const std::string& text) {
  constexpr size_t kShown = 70;
  std::string quoted = "\"";
  for (size_t i = 0; i < text.size() && i < kShown; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += char(c);
    } else if (c >= 0x20 && c < 0x7F) {
      quoted += char(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      quoted += escaped;
    }
  }
  quoted += '"';
  if (text.size() > kShown) quoted += " (" + std::to_string(text.size()) + " bytes)";
  return quoted;
}

std::string PaletteText(int16_t entries, bool sorted) {
  return std::to_string(uint16_t(entries)) + (entries == 1 ? " entry" : " entries") +
         (sorted ? ", sorted" : "");
}

// Delay in seconds with two decimals, from hundredths.
std::string DelayText(uint16_t delay) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%02us", unsigned(delay / 100), unsigned(delay % 100));
  return text;
}

void WriteFrameText(std::ostream& out, const cGIF& doc, int16_t nFrame) {
  out << "  + frame " << nFrame << ": " << doc.FrameWidth(nFrame) << 'x' << doc.FrameHeight(nFrame)
      << " at " << Geometry(doc).FrameLeft(nFrame) << ',' << Geometry(doc).FrameTop(nFrame);
  if (doc.FrameInterlaced(nFrame)) out << ", interlaced";
  out << '\n';
  for (int n = 1; n <= doc.FrameCommentsCount(nFrame); ++n) {
    out << "    comment " << QuotedComment(doc.FrameComment(nFrame, int16_t(n))) << '\n';
  }
  if (doc.LocalPaletteUsed(nFrame)) {
    out << "    local palette "
        << PaletteText(doc.LocalPaletteEntries(nFrame), doc.LocalPaletteSorted(nFrame)) << '\n';
  }
  const int32_t disposal = doc.FrameDisposalMethod(nFrame);
  out << "    delay " << DelayText(uint16_t(Geometry(doc).FrameDelay(nFrame))) << ", disposal "
      << disposal << " (" << DisposalName(disposal) << ')';
  if (doc.FrameUseTransparentColor(nFrame)) {
    out << ", transparent " << unsigned(doc.FrameTransparentColorIndex(nFrame));
  }
  if (doc.FrameUserInput(nFrame)) out << ", user input";
  out << '\n';
  if (const auto crc = FramePixelsCrc32(doc, nFrame)) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", unsigned(*crc));
    out << "    pixels crc32 " << text << '\n';
  } else {
    out << "    pixels not held (too large)\n";
  }
}

}  // namespace

void WriteInfoText(std::ostream& out, const std::string& file, const cGIF& doc, bool loaded) {
  if (!loaded) {
    out << "* " << file << ": not loaded (" << doc.LoadError() << ")\n";
    return;
  }
  const int16_t frames = doc.FramesCount();
  out << "* " << file << ' ' << frames << (frames == 1 ? " frame" : " frames") << '\n';
  out << "  logical screen " << Geometry(doc).ScreenWidth() << 'x' << Geometry(doc).ScreenHeight()
      << '\n';
  if (doc.GlobalPaletteExists()) {
    out << "  global palette " << PaletteText(doc.GlobalPaletteEntries(), doc.GlobalPaletteSorted())
        << '\n';
  } else {
    out << "  no global palette\n";
  }
  out << "  background " << unsigned(doc.ScreenBackgroundColorIndex());
  if (doc.ScreenPixelAspectByte() != 0) {
    out << ", aspect byte " << unsigned(doc.ScreenPixelAspectByte());
  }
  out << '\n';
  if (doc.HasLoopingBlock()) {
    const uint16_t loops = uint16_t(doc.AnimationLoops());
    if (loops == 0) {
      out << "  loop forever\n";
    } else {
      out << "  loop count " << loops << '\n';
    }
  }
  for (int n = 1; n <= frames; ++n) WriteFrameText(out, doc, int16_t(n));
  for (int n = 1; n <= doc.TrailingCommentsCount(); ++n) {
    out << "  end comment " << QuotedComment(doc.TrailingComment(int16_t(n))) << '\n';
  }
}

int RunInfo(const std::vector<std::string>& files, bool json, std::ostream& out) {
  int exitCode = 0;
  for (const std::string& file : files) {
    cGIF doc;
    const bool loaded = doc.LoadFromFile(file);
    if (json) {
      out << InfoJsonLine(DocumentInfoJson(file, doc, loaded)) << '\n';
    } else {
      WriteInfoText(out, file, doc, loaded);
    }
    if (!loaded) exitCode = 1;
  }
  out.flush();
  return exitCode;
}

void AddInfoCommand(CLI::App& app, int& exit_code) {
  struct Options {
    bool json = false;
    std::vector<std::string> files;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand("info", "Show what each GIF file holds");
  command->add_flag("--json", options->json, "One JSON object per file per line");
  command->add_option("FILE", options->files, "GIF files to describe")->required();
  command->callback(
      [options, &exit_code] { exit_code = RunInfo(options->files, options->json, std::cout); });
}

}  // namespace lumatrim::cli
