#include "gui/k_z_message_rules.h"

bool KZMessageRules::SplitLines(const KString& text, std::vector<KString>& lines) {
  lines.clear();
  KString line;
  bool multiLine = false;
  for (int i = 0; i < text.Length(); ++i) {
    if (text.At(i) == u'\\' && text.At(i + 1) == u'n') {
      lines.push_back(line);
      line.Clear();
      multiLine = true;
      ++i;
      continue;
    }
    line.Append(text.At(i));
  }
  lines.push_back(line);
  return multiLine;
}

KString KZMessageRules::WithLineBreaks(const KString& text) {
  std::vector<KString> lines;
  SplitLines(text, lines);
  KString joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) joined.Append(u'\n');
    joined.Append(lines[i]);
  }
  return joined;
}

int KZMessageRules::EscapeButton(int buttons) {
  if (buttons & kCancel) return kCancel;
  if (buttons & kNo) return kNo;
  return 0;
}

int KZMessageRules::DefaultButton(int buttons, int defaultButton) {
  for (int button : kButtonOrder)
    if (button == defaultButton && (buttons & button)) return button;
  for (int button : kButtonOrder)
    if (buttons & button) return button;
  return kOk;
}

KString KZMessageRules::LabelPath(int button) {
  switch (button) {
    case kOk:
      return KString("\\Strings\\Dialog\\Ok");
    case kYes:
      return KString("\\Strings\\Dialog\\Yes");
    case kNo:
      return KString("\\Strings\\Dialog\\No");
    case kCancel:
      return KString("\\Strings\\Dialog\\Cancel");
    case kApply:
      return KString("\\Strings\\Dialog\\Apply");
    default:
      return KString();
  }
}

KString KZMessageRules::BuiltInLabel(int button) {
  switch (button) {
    case kOk:
      return KString("&Ok");
    case kYes:
      return KString("&Yes");
    case kNo:
      return KString("&No");
    case kCancel:
      return KString("&Cancel");
    case kApply:
      return KString("&Apply");
    default:
      return KString();
  }
}
