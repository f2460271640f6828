#include "render/k_bitmaps.h"

#include "base/k_stream.h"
#include "base/k_x.h"
#include "config/k_r_group.h"
#include "render/k_gif_decoder.h"
#include "render/k_image_file.h"

KBitmaps::KBitmaps(uint32_t frameFormat, int storageKind, KRGroup* settings)
    : frameFormat_(frameFormat), storageKind_(storageKind), settings_(settings) {}

KBitmaps::~KBitmaps() {
  frames_.DeleteAll();
}

KBitmap* KBitmaps::AppendFrame() {
  auto* frame = new KBitmap(frameFormat_, storageKind_);
  frames_.Append(frame);
  return frame;
}

void KBitmaps::Load(KStream& stream) {
  if (KImageFile::TypeOf(stream) == KImageFile::kGif) {
    // Read at every load, so a changed setting shows with the next picture.
    const bool useBackground = settings_ && settings_->LookupInt(u"\\Display\\GIFUseBg", 0) == 1;
    KGifDecoder(*this, stream, useBackground).Decode();
    return;
  }
  AppendFrame()->Load(stream);
}

std::unique_ptr<KBitmaps> KBitmaps::Scaled(int width, int height) const {
  auto scaled = std::make_unique<KBitmaps>(frameFormat_, storageKind_, settings_);
  scaled->loopCount_ = loopCount_;
  for (const KBitmap* frame : *this) {
    std::unique_ptr<KBitmap> copy = frame->Scale(width, height);
    if (!copy) return nullptr;
    scaled->frames_.Append(copy.release());
  }
  return scaled;
}
