#include "gui/k_z_input_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include "gui/k_z_application.h"

namespace {

KZInputDialog::Responder& CurrentResponder() {
  static KZInputDialog::Responder responder;
  return responder;
}

QString ToQt(const KString& text) {
  return QString::fromUtf16(text.Data(), static_cast<qsizetype>(text.Length()));
}

}  // namespace

void KZInputDialog::SetResponder(Responder responder) {
  CurrentResponder() = std::move(responder);
}

bool KZInputDialog::Ask(const Request& request, KString& value) {
  bool accepted = false;
  if (const Responder& responder = CurrentResponder()) {
    accepted = responder(request, value);
  } else if (KZApplication::HasDisplay()) {
    QDialog dialog;
    dialog.setWindowTitle(ToQt(request.title));
    auto* form = new QFormLayout(&dialog);
    auto* field = new QLineEdit(&dialog);
    field->setMaxLength(request.maxLength);
    form->addRow(ToQt(request.label), field);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    if (!request.okLabel.IsEmpty())
      buttons->button(QDialogButtonBox::Ok)->setText(ToQt(request.okLabel));
    if (!request.cancelLabel.IsEmpty())
      buttons->button(QDialogButtonBox::Cancel)->setText(ToQt(request.cancelLabel));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    accepted = dialog.exec() == QDialog::Accepted;
    if (accepted) {
      const QString text = field->text();
      value = KString(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                          static_cast<size_t>(text.size())));
    }
  }
  if (accepted && value.Length() > request.maxLength) value.Truncate(request.maxLength);
  return accepted;
}
