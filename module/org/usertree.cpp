#include "org/usertree.h"

#include <vector>

#include "hrzcommon/text.h"
#include "org/org_prompts.h"
#include "org/userro.h"
#include "resources/dialogs/roledept_ids.h"

namespace hrz {
namespace {

constexpr int kClickIntervalMs = 600;
constexpr int kLayoutNameCapacity = 128;
constexpr int kPathLevelsMax = 255;

}  // namespace

bool IsUserKind(const char* kind) {
  return kind != nullptr && (EqualsNoCase(kind, "UUSRI") || EqualsNoCase(kind, "KQUSR"));
}

bool IsDeptKind(const char* kind) {
  return kind != nullptr && (EqualsNoCase(kind, "UDEPT") || EqualsNoCase(kind, "UROLE"));
}

const char* LayoutOfKind(const char* kind) {
  if (IsUserKind(kind) || EqualsNoCase(kind, "UUSRO")) return "UUSR";
  return kind;
}

CUserTree::CUserTree() {
  SetCanEdit(FALSE);
  SetNodeClickInterval(kClickIntervalMs);
}

void CUserTree::SetLinks(CUserRecCtrl* pane, char* layoutName, CWnd* window) {
  pane_ = pane;
  layoutName_ = layoutName;
  window_ = window;
}

BOOL CUserTree::Load() {
  AddRootNode("UUSR", -1, TRUE);
  if (GetNodes(-1) == 0) return FALSE;
  Expand(0, TRUE);
  return TRUE;
}

int CUserTree::ExpandChildNodes(int node) {
  const int expanded = XBOMTree::ExpandChildNodes(node);
  if (expanded == 0) return expanded;
  for (int child = GetFirstChildNode(node); child >= 0; child = GetNextNode(child)) {
    char kind[17] = {};
    GetBITM_NID(child, kind);
    if (IsUserKind(kind)) ExpandChildNodes(child);
  }
  return expanded;
}

int CUserTree::OnNodeClick(int node, int prevNode, int x, int y) {
  XBOMTree::OnNodeClick(node, prevNode, x, y);
  // Saving a new record reloads its department, which renumbers the nodes below it.
  const XNodeHandle clicked = GetNodeHandle(node);
  if (pane_ != nullptr && pane_->SaveUserRec() < 0 && StayAfterFailedSave(window_)) {
    if (prevNode >= 0) SetFocusNode(prevNode, FALSE, TRUE);
    return 1;
  }
  const int now = GetNodeIndex(clicked);
  if (now < 0) return 1;
  SetFocusNode(now, FALSE, TRUE);
  ShowNodeRecord(now);
  if (window_ != nullptr) window_->Invalidate();
  return 1;
}

int CUserTree::ShowNodeRecord(int node) {
  if (node < 0 || pane_ == nullptr) return 0;
  pane_->ClearRec(FALSE);
  char kind[17] = {};
  const int nid = GetBITM_NID(node, kind);
  const int linkNid = pane_->BBOM_TableExisted() ? GetBBOM_NID(node) : -1;
  if (nid < 1) return 0;
  const char* layout = LayoutOfKind(kind);
  if (!pane_->InitCtrls(layout, FALSE)) return 0;
  if (layoutName_ != nullptr) CopyBounded(layoutName_, kLayoutNameCapacity, layout);
  if (CWnd* remove = window_ != nullptr ? window_->GetDlgItem(IDC_ROLEDEPT_REMOVE) : nullptr) {
    remove->EnableWindow(EqualsNoCase(layout, "UUSR"));
    remove->Invalidate();
  }
  const char* const tables[] = {"UUSR", "UUSRBM"};
  const int nids[] = {nid, linkNid};
  return pane_->ShowRec(tables, nids, 2, linkNid < 1 ? 1 : 2, 0);
}

bool CUserTree::IsUserNode(int node) const {
  char kind[17] = {};
  return GetBITM_NID(node < 0 ? GetFocusNode() : node, kind) >= 1 && IsUserKind(kind);
}

int CUserTree::DeptAtOrAbove(int node) const {
  for (; node >= 0; node = GetParentIndex(node)) {
    char kind[17] = {};
    if (GetBITM_NID(node, kind) >= 1 && IsDeptKind(kind)) return node;
  }
  return -1;
}

void CUserTree::ReloadChildren(int node) {
  if (!DeleteNode(node, TRUE, FALSE) || !Expand(node)) Load();
}

void CUserTree::ReloadSiblings(int node, BOOL notify) {
  const int nid = GetBITM_NID(node);
  const int parent = GetParentIndex(node);
  if (parent < 0) {
    Load();
  } else {
    DeleteNode(parent, TRUE, FALSE);
    Expand(parent);
  }
  const int first = parent < 0 ? 0 : parent;
  const int last = first + GetChildNodesCount(parent);
  for (int i = first; i <= last && i < GetNodes(-1); ++i) {
    if (GetBITM_NID(i) == nid) {
      SetFocusNode(i, notify, TRUE);
      return;
    }
  }
}

void CUserTree::RefreshKeepPath(int node) {
  if (node < 0) node = GetFocusNode();
  if (node < 0) {
    Load();
    SetFocusNode(0, TRUE, TRUE);
    return;
  }
  std::vector<int> path;
  for (int n = node; n >= 0 && static_cast<int>(path.size()) < kPathLevelsMax;
       n = GetParentIndex(n)) {
    path.insert(path.begin(), GetBITM_NID(n));
  }
  Load();
  std::size_t next = 0;
  for (int i = 0; i < GetNodes(-1) && next < path.size(); ++i) {
    if (GetBITM_NID(i) != path[next]) continue;
    if (++next == path.size()) {
      SetFocusNode(i, TRUE, TRUE);
      EnsureNodeVisible(i);
      return;
    }
    Expand(i);
  }
}

void CUserTree::RememberFocus() {
  const int focus = GetFocusNode();
  remembered_ = focus >= 0 ? GetNodeHandle(focus) : 0;
}

int CUserTree::RememberedNode() const {
  return remembered_ != 0 ? GetNodeIndex(remembered_) : -1;
}

}  // namespace hrz
