#include "engine/tree_functions.h"

namespace korvath::engine {

int TreeFunctions::Of(int node) {
  int& function = ofLabel_[tree_.LabelKey(node)];
  if (function < 0) {
    Text key = tree_.File(node);
    if (key.empty()) key = u'\n' + tree_.Name(node);  // never a path
    function = functions_.try_emplace(std::move(key), Count()).first->second;
  }
  return function;
}

}  // namespace korvath::engine
