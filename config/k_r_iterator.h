#pragma once

class KRGroup;
class KRNode;

// The visible rows of a tree view over one group: its nodes in depth-first
// pre-order, entering only expanded groups. The root is not a row.
class KRIterator {
 public:
  explicit KRIterator(KRGroup* root = nullptr);

  void SetRoot(KRGroup* root);
  KRGroup* Root() const { return root_; }
  // Recounts the rows, after nodes were added, removed, expanded or collapsed.
  void Reset();
  int RowCount() const { return rowCount_; }
  KRNode* At(int row);

 private:
  KRNode* Step(KRNode* node) const;

  KRGroup* root_ = nullptr;
  KRNode* current_ = nullptr;
  int row_ = 0;
  int rowCount_ = 0;
};
