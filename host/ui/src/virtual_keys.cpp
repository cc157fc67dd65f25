#include <Qt>

#include <iterator>

#include "cwnd.h"

namespace hrz {
namespace {

struct KeyPair {
  int qt;
  int vk;
};

// Digits and letters have the same codes on both sides and are not listed.
constexpr KeyPair kKeys[] = {
    {Qt::Key_Return, VK_RETURN}, {Qt::Key_Enter, VK_RETURN},   {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Tab, VK_TAB},       {Qt::Key_Backspace, VK_BACK}, {Qt::Key_Space, VK_SPACE},
    {Qt::Key_Delete, VK_DELETE}, {Qt::Key_Left, VK_LEFT},      {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},   {Qt::Key_Down, VK_DOWN},      {Qt::Key_F5, VK_F5},
};

bool SameOnBothSides(int key) {
  return (key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z);
}

}  // namespace

int VirtualKeyOf(int qtKey) {
  for (const KeyPair& pair : kKeys) {
    if (pair.qt == qtKey) return pair.vk;
  }
  return SameOnBothSides(qtKey) ? qtKey : 0;
}

int QtKeyOf(int virtualKey) {
  for (const KeyPair& pair : kKeys) {
    if (pair.vk == virtualKey) return pair.qt;
  }
  return SameOnBothSides(virtualKey) ? virtualKey : 0;
}

}  // namespace hrz
