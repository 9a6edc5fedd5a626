#include <png.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/OutputCheck.h"
#include "model/BlockFacts.h"
#include "tape/FileReplacer.h"
#include "tape/ScreenPicture.h"
#include "tape/TapeImageReader.h"

namespace {
constexpr const char* kScreenUsage =
    "Usage: tapewise-cli screen FILE N OUTPUT.png\n"
    "\n"
    "Draws the N-th SCREEN$ block of the tape image FILE (counted from 0 among its screen blocks)\n"
    "as a 256 x 192 PNG picture, without bright and flash. Exit status: 0 written, 1 FILE could\n"
    "not be read, holds no such screen, or OUTPUT could not be written (OUTPUT is never FILE\n"
    "itself nor a sound recording), 2 usage. OUTPUT - writes the picture to standard output.\n";

bool IsHelp(const char* argument) {
    return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
}

std::optional<int> ParseScreenNumber(const char* text) {
    int number = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, number);
    if (error != std::errc() || stop != end || number < 0 || stop == text) {
        return std::nullopt;
    }
    return number;
}

const BlockBody* FindScreen(const std::vector<TapeItem>& blocks, int number) {
    int seen = 0;
    for (const TapeItem& block : blocks) {
        if (IsScreen(block.body) && seen++ == number) {
            return &block.body;
        }
    }
    return nullptr;
}

int CountScreens(const std::vector<TapeItem>& blocks) {
    int count = 0;
    for (const TapeItem& block : blocks) {
        count += IsScreen(block.body) ? 1 : 0;
    }
    return count;
}

void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

std::vector<png_byte> RgbRows(const std::vector<Rgb>& picture) {
    std::vector<png_byte> rows;
    rows.reserve(picture.size() * 3);
    for (const Rgb& pixel : picture) {
        rows.insert(rows.end(), {pixel.red, pixel.green, pixel.blue});
    }
    return rows;
}

// The picture as a PNG file in memory; empty if libpng fails.
std::vector<uint8_t> EncodePng(const std::vector<Rgb>& picture) {
    std::vector<uint8_t> file;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    std::vector<png_byte> pixels = RgbRows(picture);
    std::vector<png_bytep> rows(kScreenHeight);
    for (int y = 0; y < kScreenHeight; ++y) {
        rows[static_cast<size_t>(y)] = pixels.data() + static_cast<size_t>(y) * kScreenWidth * 3;
    }
    png_set_write_fn(png, &file, AppendToVector, nullptr);
    png_set_IHDR(png, info, kScreenWidth, kScreenHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return file;
}

int DrawScreen(const std::string& input, int number, const std::string& output) {
    if (auto refusal = CheckOutput(output, {input})) {
        std::fprintf(stderr, "tapewise-cli: %s\n", refusal->c_str());
        return kExitFileError;
    }
    const TapeImage image = ReadTapeImage(input);
    for (const TapeMessage& message : image.messages) {
        std::fprintf(stderr, "tapewise-cli: %s\n", message.text.c_str());
    }
    const BlockBody* screen = FindScreen(image.blocks, number);
    if (screen == nullptr) {
        if (image.outcome != TapeReadOutcome::Unreadable) {
            std::fprintf(stderr,
                         "tapewise-cli: %s holds %d screen block(s); there is no screen %d\n",
                         input.c_str(), CountScreens(image.blocks), number);
        }
        return kExitFileError;
    }
    const std::vector<uint8_t> png = EncodePng(ScreenPicture(DataBytes(*screen)->data()));
    if (png.empty()) {
        std::fprintf(stderr, "tapewise-cli: cannot encode the picture for %s\n", output.c_str());
        return kExitFileError;
    }
    if (const auto error = CFileReplacer(output).Replace(png)) {
        std::fprintf(stderr, "tapewise-cli: %s\n", error->c_str());
        return kExitFileError;
    }
    return kExitDone;
}
}  // namespace

int RunScreen(int argc, char** argv) {
    if (argc == 1 && IsHelp(argv[0])) {
        std::fputs(kScreenUsage, stdout);
        return kExitDone;
    }
    const std::optional<int> number = argc == 3 ? ParseScreenNumber(argv[1]) : std::nullopt;
    if (!number) {
        if (argc == 3) {
            std::fprintf(stderr, "tapewise-cli: screen number '%s' is not a whole number >= 0\n",
                         argv[1]);
        }
        std::fputs(kScreenUsage, stderr);
        return kExitUsage;
    }
    return DrawScreen(argv[0], *number, OutputPath(argv[2]));
}
