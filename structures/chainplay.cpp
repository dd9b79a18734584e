// Fills a linked list with fifty equal elements and reports its size and
// whether it is empty (a bool prints as 1 or 0 unless std::boolalpha is set);
// the list frees its nodes when main returns.  The list is in LList.h.
#include <iostream>

#include "LList.h"

int main() {
    LList list;
    for (int i = 0; i < 50; ++i) {
        list.push_front(45);
    }
    std::cout << list.size() << std::endl;
    std::cout << list.empty() << std::endl;
    return 0;
}
