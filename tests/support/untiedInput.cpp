// Linked into test builds of lessons that a session must fail: std::cin is
// untied from std::cout and the streams no longer synchronised with C
// stdio, as a learner's "faster" version might have them, so a prompt not
// ended by std::endl is still in std::cout's buffer while the program waits
// for its answer.  (Untied alone is not enough: reading C's standard input
// at a terminal, C stdio writes out its line-buffered output first.)
#include <iostream>

namespace {

const bool untied = (std::ios::sync_with_stdio(false), std::cin.tie(nullptr), true);

}  // namespace
