#include "LList.h"

#include <ostream>

std::ostream& operator<<(std::ostream& out, const LList& list) {
    out << "[";
    for (unsigned int i = 0; i < list.size(); ++i) {
        out << list[i] << ", ";
    }
    out << "]";
    return out;
}
