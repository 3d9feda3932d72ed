// Prints, for each GIF named, one line per frame as Qt's image reader decodes it: the frame's
// size and a hash of its pixels (ARGB, a transparent pixel counted as 0). The decoder tests
// compare these lines between two files that must show the same frames.
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <cstdint>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  for (int i = 1; i < argc; ++i) {
    QImageReader reader(QString::fromLocal8Bit(argv[i]), "gif");
    std::printf("file %s frames %d\n", argv[i], reader.imageCount());
    for (QImage frame = reader.read(); !frame.isNull(); frame = reader.read()) {
      frame = frame.convertToFormat(QImage::Format_ARGB32);
      uint64_t hash = 1469598103934665603ull;
      for (int y = 0; y < frame.height(); ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(frame.constScanLine(y));
        for (int x = 0; x < frame.width(); ++x) {
          const uint32_t pixel = (row[x] >> 24) == 0 ? 0 : row[x];
          hash = (hash ^ pixel) * 1099511628211ull;
        }
      }
      std::printf("%dx%d %016llx\n", frame.width(), frame.height(),
                  static_cast<unsigned long long>(hash));
    }
  }
  return 0;
}
