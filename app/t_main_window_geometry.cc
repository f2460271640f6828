#include "app/t_main_window_geometry.h"

#include "base/k_product.h"
#include "config/k_r_group.h"
#include "config/k_r_int.h"

namespace {

const char* const kNames[] = {"Left", "Top", "Width", "Height", "Maximized"};

KRInt* Value(KRGroup* group, int index) {
  return group ? group->LookupInt(KString(kNames[index])) : nullptr;
}

}  // namespace

TMainWindowGeometry::Placement TMainWindowGeometry::Initial(KRGroup* root, int screenWidth,
                                                            int screenHeight) {
  Placement placement;
  placement.width = screenWidth >= 800 ? screenWidth * 3 / 4 : 600;
  placement.height = screenHeight * 3 / 5 >= 320 ? screenHeight * 3 / 5 : 320;
  placement.maximized = true;
  KRGroup* group = root ? root->LookupGroup(KString("\\General\\MainWindow\\")) : nullptr;
  KRInt* values[5] = {};
  for (int i = 0; i < 5; ++i)
    if (!(values[i] = Value(group, i))) return placement;
  if (values[2]->Value() < 0 || values[3]->Value() < 0) return placement;
  placement.left = values[0]->Value();
  placement.top = values[1]->Value();
  placement.width = values[2]->Value();
  placement.height = values[3]->Value();
  placement.maximized = values[4]->Value() != 0;
  return placement;
}

void TMainWindowGeometry::WriteBack(KRGroup* root, const Placement& now) {
  KRGroup* group = root ? root->LookupGroup(KString("\\General\\MainWindow\\")) : nullptr;
  if (!group) return;
  if (!now.maximized) {
    const int numbers[4] = {now.left, now.top, now.width, now.height};
    for (int i = 0; i < 4; ++i) {
      KRInt* value = Value(group, i);
      if (!value || (i >= 2 && numbers[i] < 0)) return;
      value->SetValue(numbers[i]);
    }
  }
  if (KRInt* maximized = Value(group, 4)) maximized->SetValue(now.maximized ? 1 : 0);
}

KString63 TMainWindowGeometry::Title(const KString& profileName) {
  KString63 title(KProduct::kName);
  if (!profileName.IsEmpty()) {
    title.Append(u" <");
    title.Append(profileName);
    title.Append(u'>');
  }
  return title;
}
