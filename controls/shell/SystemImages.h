#pragma once
// The process's system image lists (0 small 16x16, 1 large 32x32): the namespace's icon
// table as image lists, with overlay 1 (shared) and overlay 2 (link) registered.
namespace mv {

class TImageList;

// Brings the list up to every icon the namespace has handed out an index for.
TImageList* GetSystemImageList(int sizeIndex);

// Brings the lists made so far up to every icon handed out: an index handed out after
// a view took its list then shows its icon, not a blank.
void CatchUpSystemImageLists();

} // namespace mv
