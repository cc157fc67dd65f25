#include "xrecobj_form.h"

#include "hrzcommon/text.h"

namespace hrz::ui {
namespace {

bool IsTrue(const std::string& text) {
  return EqualsNoCase(text, "true") || text == "1" || EqualsNoCase(text, "yes");
}

const char* const kKinds[] = {"edit", "combo", "check box", "button", "label"};

}  // namespace

bool ParseFormLayout(std::string_view script, XFormLayout* form, std::string* error) {
  OutlineParseResult parsed = ParseOutline(script);
  if (parsed.errorLine != 0) {
    *error = "line " + std::to_string(parsed.errorLine) + ": " + parsed.error;
    return false;
  }
  if (parsed.items.size() != 1 || parsed.items[0].keyword != "object" ||
      parsed.items[0].args.empty()) {
    *error = "a layout is one \"object\" item";
    return false;
  }
  const OutlineItem& object = parsed.items[0];
  XFormLayout out;
  out.name = object.args[0];
  out.table = object.args.size() > 1 ? object.args[1] : object.args[0];
  if (object.args.size() > 2) out.linkTable = object.args[2];
  for (const OutlineItem& item : object.children) {
    if (item.keyword != "control") continue;
    if (item.args.size() < 2 || item.args[1].empty()) {
      *error = "a control needs a kind and a name";
      return false;
    }
    XFormCtrl ctrl;
    for (const char* kind : kKinds) {
      if (EqualsNoCase(item.args[0], kind)) ctrl.kind = kind;
    }
    if (ctrl.kind.empty()) {
      *error = "unknown control kind \"" + item.args[0] + "\"";
      return false;
    }
    ctrl.name = item.args[1];
    ctrl.label = item.ChildArg("label");
    ctrl.field = item.ChildArg("field");
    ctrl.valueList = item.ChildArg("values");
    ctrl.echo = item.ChildArg("echo");
    ctrl.value = item.ChildArg("value");
    ctrl.editable = IsTrue(item.ChildArg("editable", "true"));
    ctrl.required = IsTrue(item.ChildArg("required", "false"));
    ctrl.visible = IsTrue(item.ChildArg("visible", "true"));
    std::string typeCode = item.ChildArg("type code");
    if (!typeCode.empty()) {
      try {
        int code = std::stoi(typeCode);
        if (code < 0 || code > 0xffff) throw std::out_of_range("type code");
        ctrl.typeCode = static_cast<unsigned short>(code);
      } catch (const std::exception&) {
        *error = "bad type code \"" + typeCode + "\"";
        return false;
      }
    }
    ctrl.placement = item;
    out.ctrls.push_back(std::move(ctrl));
  }
  *form = std::move(out);
  return true;
}

}  // namespace hrz::ui
