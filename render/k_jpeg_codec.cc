#include "render/k_jpeg_codec.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "base/k_stream.h"
#include "base/k_x.h"

namespace {

constexpr long kLibraryMemoryBytes = 256L << 20;

// The library's standard error manager, except that a fatal error jumps
// back into the codec instead of ending the process, and messages stay in
// the buffer.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, manager->message);
  std::longjmp(manager->jump, 1);
}

void OutputMessage(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, manager->message);
}

void InstallErrorManager(ErrorManager& manager) {
  jpeg_std_error(&manager.base);
  manager.base.error_exit = ErrorExit;
  manager.base.output_message = OutputMessage;
  manager.message[0] = 0;
}

// Stream transfers never let a C++ exception into the library's frames:
// they report how much moved and the callers raise the library's own error.
int ReadBlock(KStream& stream, uint8_t* buffer) {
  try {
    stream.Read(buffer, KJpegCodec::kBlockBytes);
    return KJpegCodec::kBlockBytes;
  } catch (const KXStream& e) {
    return e.Count();
  } catch (...) {
    return 0;
  }
}

bool WriteBlock(KStream& stream, const uint8_t* buffer, int count) {
  try {
    stream.Write(buffer, count);
    return true;
  } catch (...) {
    return false;
  }
}

struct Source {
  jpeg_source_mgr base;
  KStream* stream;
  uint8_t buffer[KJpegCodec::kBlockBytes];
};

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* source = reinterpret_cast<Source*>(cinfo->src);
  const int got = ReadBlock(*source->stream, source->buffer);
  if (got <= 0) ERREXIT(cinfo, JERR_INPUT_EMPTY);
  source->base.next_input_byte = source->buffer;
  source->base.bytes_in_buffer = static_cast<size_t>(got);
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  auto* source = reinterpret_cast<Source*>(cinfo->src);
  size_t left = static_cast<size_t>(count);
  while (left > source->base.bytes_in_buffer) {
    left -= source->base.bytes_in_buffer;
    FillInputBuffer(cinfo);
  }
  source->base.next_input_byte += left;
  source->base.bytes_in_buffer -= left;
}

void TermSource(j_decompress_ptr) {}

struct Destination {
  jpeg_destination_mgr base;
  KStream* stream;
  uint8_t buffer[KJpegCodec::kBlockBytes];
};

void InitDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
  destination->base.next_output_byte = destination->buffer;
  destination->base.free_in_buffer = KJpegCodec::kBlockBytes;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
  if (!WriteBlock(*destination->stream, destination->buffer, KJpegCodec::kBlockBytes)) {
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
  const int count = KJpegCodec::kBlockBytes - static_cast<int>(destination->base.free_in_buffer);
  if (count > 0 && !WriteBlock(*destination->stream, destination->buffer, count)) {
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
}

// Where the library cannot exchange the bitmap's own pixels, rows pass
// through a blue-first 3-byte row (or a red-first one for a library
// without the extended colour spaces).
#ifdef JCS_EXTENSIONS
constexpr bool kBlueFirst = true;
#else
constexpr bool kBlueFirst = false;
#endif

void ToBitmapRow(uint32_t format, const uint8_t* from, uint8_t* to, int width) {
  const int bytes = (KBitmap::BitsPerPixel(format) + 1) / 8;
  for (int x = 0; x < width; ++x, from += 3, to += bytes) {
    if (kBlueFirst) {
      KBitmap::StorePixel(format, to, from[2], from[1], from[0]);
    } else {
      KBitmap::StorePixel(format, to, from[0], from[1], from[2]);
    }
  }
}

void FromBitmapRow(uint32_t format, const uint8_t* from, uint8_t* to, int width) {
  const int bytes = (KBitmap::BitsPerPixel(format) + 1) / 8;
  for (int x = 0; x < width; ++x, from += bytes, to += 3) {
    uint8_t red, green, blue;
    KBitmap::FetchPixel(format, from, red, green, blue);
    to[0] = kBlueFirst ? blue : red;
    to[1] = green;
    to[2] = kBlueFirst ? red : blue;
  }
}

// True when the library fills and reads the bitmap's rows as they are. A
// 32-bit row goes through the scratch row because the library's fourth byte
// is 0xFF where the bitmap keeps 0.
bool Direct(uint32_t format) {
  const int bits = KBitmap::BitsPerPixel(format);
  return bits == 8 || (kBlueFirst && bits == 24);
}

J_COLOR_SPACE ColorSpace(bool grey) {
  if (grey) return JCS_GRAYSCALE;
#ifdef JCS_EXTENSIONS
  return JCS_EXT_BGR;
#else
  return JCS_RGB;
#endif
}

struct Decoder {
  ErrorManager error;
  jpeg_decompress_struct cinfo;
  Source source;
  bool created = false;
  ~Decoder() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

// Holds only trivially destructible locals: the library's fatal errors
// jump back into it over the library's own frames.
int32_t Decode(Decoder& d, KBitmap& bitmap, std::vector<uint8_t>& scratch) {
  if (setjmp(d.error.jump)) return KErrors::kFileRead;
  jpeg_create_decompress(&d.cinfo);
  d.created = true;
  // The library's own buffers (a progressive file keeps every coefficient)
  // stay within this; beyond it the read fails instead of the process.
  d.cinfo.mem->max_memory_to_use = kLibraryMemoryBytes;
  d.cinfo.src = &d.source.base;
  jpeg_read_header(&d.cinfo, TRUE);
  if (d.cinfo.image_width > KBitmap::kMaxSide || d.cinfo.image_height > KBitmap::kMaxSide) {
    return KErrors::kFileContents;
  }
  const int width = static_cast<int>(d.cinfo.image_width);
  const int height = static_cast<int>(d.cinfo.image_height);
  if (!bitmap.Resize(width, height)) return KErrors::kMemoryAllocate;

  const uint32_t format = bitmap.Format();
  const bool direct = Direct(format);
  if (KBitmap::BitsPerPixel(format) == 0) return KErrors::kFileContents;
  d.cinfo.out_color_space = ColorSpace(KBitmap::BitsPerPixel(format) == 8);
  if (!direct) {
    try {
      scratch.resize(static_cast<size_t>(width) * 3);
    } catch (const std::bad_alloc&) {
      return KErrors::kMemoryAllocate;
    }
  }
  jpeg_start_decompress(&d.cinfo);
  while (d.cinfo.output_scanline < d.cinfo.output_height) {
    uint8_t* row = bitmap.Row(static_cast<int>(d.cinfo.output_scanline));
    JSAMPROW target = direct ? row : scratch.data();
    if (jpeg_read_scanlines(&d.cinfo, &target, 1) != 1) break;
    if (!direct) ToBitmapRow(format, scratch.data(), row, width);
  }
  if (d.cinfo.output_scanline == d.cinfo.output_height) jpeg_finish_decompress(&d.cinfo);
  return 0;
}

struct Encoder {
  ErrorManager error;
  jpeg_compress_struct cinfo;
  Destination destination;
  bool created = false;
  ~Encoder() {
    if (created) jpeg_destroy_compress(&cinfo);
  }
};

int32_t Encode(Encoder& e, const KBitmap& bitmap, const KBitmap::RowSource& rows,
               std::vector<uint8_t>& scratch) {
  if (setjmp(e.error.jump)) return KErrors::kFileWrite;
  jpeg_create_compress(&e.cinfo);
  e.created = true;
  e.cinfo.dest = &e.destination.base;
  const uint32_t format = bitmap.Format();
  const bool grey = KBitmap::BitsPerPixel(format) == 8;
  const bool direct = Direct(format);
  e.cinfo.image_width = static_cast<JDIMENSION>(bitmap.Width());
  e.cinfo.image_height = static_cast<JDIMENSION>(bitmap.Height());
  e.cinfo.input_components = grey ? 1 : 3;
  e.cinfo.in_color_space = grey ? JCS_GRAYSCALE : ColorSpace(grey);
  jpeg_set_defaults(&e.cinfo);
  if (bitmap.JpegQuality() >= 0 && bitmap.JpegQuality() <= 100) {
    jpeg_set_quality(&e.cinfo, bitmap.JpegQuality(), TRUE);
  }
  jpeg_start_compress(&e.cinfo, TRUE);
  while (e.cinfo.next_scanline < e.cinfo.image_height) {
    const int y = static_cast<int>(e.cinfo.next_scanline);
    const uint8_t* row = rows ? rows(y) : bitmap.Row(y);
    if (!row) break;
    if (!direct) FromBitmapRow(format, row, scratch.data(), bitmap.Width());
    // The library only reads the rows it is handed.
    JSAMPROW source = direct ? const_cast<uint8_t*>(row) : scratch.data();
    if (jpeg_write_scanlines(&e.cinfo, &source, 1) != 1) break;
  }
  if (e.cinfo.next_scanline == e.cinfo.image_height) jpeg_finish_compress(&e.cinfo);
  return 0;
}

}  // namespace

void KJpegCodec::Read(KBitmap& bitmap, KStream& stream) {
  auto decoder = std::make_unique<Decoder>();
  InstallErrorManager(decoder->error);
  decoder->cinfo.err = &decoder->error.base;
  decoder->source.stream = &stream;
  decoder->source.base.next_input_byte = nullptr;
  decoder->source.base.bytes_in_buffer = 0;
  decoder->source.base.init_source = InitSource;
  decoder->source.base.fill_input_buffer = FillInputBuffer;
  decoder->source.base.skip_input_data = SkipInputData;
  decoder->source.base.resync_to_restart = jpeg_resync_to_restart;
  decoder->source.base.term_source = TermSource;
  std::vector<uint8_t> scratch;
  const int32_t result = Decode(*decoder, bitmap, scratch);
  if (result != 0) {
    if (result == KErrors::kMemoryAllocate) throw KX(result);
    throw KXStream(result, 0);
  }
}

void KJpegCodec::Write(const KBitmap& bitmap, KStream& stream, const KBitmap::RowSource& rows) {
  if (!bitmap.HasPixels() && !rows) throw KX(KErrors::kMemory);
  if (KBitmap::BitsPerPixel(bitmap.Format()) == 0) throw KX(KErrors::kMemory);
  auto encoder = std::make_unique<Encoder>();
  InstallErrorManager(encoder->error);
  encoder->cinfo.err = &encoder->error.base;
  encoder->destination.stream = &stream;
  encoder->destination.base.init_destination = InitDestination;
  encoder->destination.base.empty_output_buffer = EmptyOutputBuffer;
  encoder->destination.base.term_destination = TermDestination;
  std::vector<uint8_t> scratch(static_cast<size_t>(bitmap.Width()) * 3);
  const int32_t result = Encode(*encoder, bitmap, rows, scratch);
  if (result != 0) throw KXStream(result, 0);
}
