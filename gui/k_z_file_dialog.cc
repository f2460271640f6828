#include "gui/k_z_file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

#include "gui/k_z_application.h"

namespace {

KZFileDialog::Responder& CurrentResponder() {
  static KZFileDialog::Responder responder;
  return responder;
}

QString ToQt(const KString& text) {
  return QString::fromUtf16(text.Data(), static_cast<qsizetype>(text.Length()));
}

KString FromQt(const QString& text) {
  return KString(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                     static_cast<size_t>(text.size())));
}

}  // namespace

void KZFileDialog::SetResponder(Responder responder) {
  CurrentResponder() = std::move(responder);
}

bool KZFileDialog::Ask(const Request& request, KString& path) {
  if (const Responder& responder = CurrentResponder()) return responder(request, path);
  if (!KZApplication::HasDisplay()) return false;
  const QString extension = ToQt(request.extension);
  const QString filter = QStringLiteral("%1 (*.%2)").arg(ToQt(request.description), extension);
  QString start = ToQt(request.folder);
  if (!request.name.IsEmpty()) start += QLatin1Char('/') + ToQt(request.name);
  const QString chosen = request.mode == kOpen
                             ? QFileDialog::getOpenFileName(nullptr, QString(), start, filter)
                             : QFileDialog::getSaveFileName(nullptr, QString(), start, filter);
  if (chosen.isEmpty()) return false;
  QString withExtension = chosen;
  if (QFileInfo(chosen).suffix().isEmpty()) withExtension += QLatin1Char('.') + extension;
  path = FromQt(withExtension);
  return true;
}
