#include "gui/k_z_message_window.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <map>

#include "gui/k_z_application.h"
#include "gui/k_z_message_rules.h"

namespace {

KZMessageWindow::Responder& CurrentResponder() {
  static KZMessageWindow::Responder responder;
  return responder;
}

QString ToQt(const KString& text) {
  return QString::fromUtf16(text.Data(), static_cast<qsizetype>(text.Length()));
}

QMessageBox::ButtonRole RoleOf(int button) {
  switch (button) {
    case KZMessageRules::kOk:
      return QMessageBox::AcceptRole;
    case KZMessageRules::kYes:
      return QMessageBox::YesRole;
    case KZMessageRules::kNo:
      return QMessageBox::NoRole;
    case KZMessageRules::kCancel:
      return QMessageBox::RejectRole;
    default:
      return QMessageBox::ApplyRole;
  }
}

bool gShowWithoutDisplay = false;

}  // namespace

void KZMessageWindow::SetShowWithoutDisplay(bool show) {
  gShowWithoutDisplay = show;
}

void KZMessageWindow::SetResponder(Responder responder) {
  CurrentResponder() = std::move(responder);
}

KZMessageWindow::Answer KZMessageWindow::Show(const Request& request) {
  const int buttons =
      request.buttons & (KZMessageRules::kOk | KZMessageRules::kYes | KZMessageRules::kNo |
                         KZMessageRules::kCancel | KZMessageRules::kApply);
  const int fallback = KZMessageRules::DefaultButton(buttons, request.defaultButton);
  if (const Responder& responder = CurrentResponder()) {
    const int button = responder(request);
    return {(buttons & button) ? button : fallback, true};
  }
  if (!KZApplication::HasDisplay() && !gShowWithoutDisplay) return {fallback, false};

  QMessageBox box;
  box.setWindowTitle(ToQt(request.title));
  box.setText(ToQt(KZMessageRules::WithLineBreaks(request.text)));
  if (!request.secondText.IsEmpty())
    box.setInformativeText(ToQt(KZMessageRules::WithLineBreaks(request.secondText)));
  if (request.icon & KZMessageRules::kInformation)
    box.setIcon(QMessageBox::Information);
  else if (request.icon & KZMessageRules::kExclamation)
    box.setIcon(QMessageBox::Warning);
  else if (request.icon & KZMessageRules::kQuestion)
    box.setIcon(QMessageBox::Question);

  std::map<QAbstractButton*, int> bitOf;
  QPushButton* defaultWidget = nullptr;
  QPushButton* escapeWidget = nullptr;
  const int escape = KZMessageRules::EscapeButton(buttons);
  int index = 0;
  for (int button : KZMessageRules::kButtonOrder) {
    const KString& label = request.labels[index++];
    if (!(buttons & button)) continue;
    QPushButton* widget = box.addButton(
        ToQt(label.IsEmpty() ? KZMessageRules::BuiltInLabel(button) : label), RoleOf(button));
    bitOf[widget] = button;
    if (button == fallback) defaultWidget = widget;
    if (button == escape) escapeWidget = widget;
  }
  if (defaultWidget) box.setDefaultButton(defaultWidget);
  if (escapeWidget) box.setEscapeButton(escapeWidget);
  box.exec();
  auto found = bitOf.find(box.clickedButton());
  // Closed without any button (possible only without an escape button).
  return {found != bitOf.end() ? found->second : (escape ? escape : fallback), true};
}
