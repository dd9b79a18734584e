#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>

#include "LNode.h"

// A singly linked list of ints that owns its nodes.  Index 0 is the element
// pushed last.  No count is kept, so the size is found by walking the chain.
class LList {
public:
    LList() : head(nullptr) {}
    ~LList() { clear(); }

    // Two lists must never share nodes, or both would free them.
    LList(const LList&) = delete;
    LList& operator=(const LList&) = delete;

    bool empty() const { return head == nullptr; }

    unsigned int size() const {
        unsigned int count = 0;
        for (const LNode* node = head; node != nullptr; node = node->link) {
            ++count;
        }
        return count;
    }

    // The node is made before it is linked in, so a failed allocation would
    // leave the list as it was; nothing catches std::bad_alloc here, so the
    // program ends with it (reporting "out of memory").
    void push_front(int value) { head = new LNode{value, head}; }

    // const, yet the element can be changed through the reference: in a
    // const list head is a const pointer, not a pointer to const nodes.
    int& operator[](unsigned int index) const {
        LNode* node = head;
        unsigned int countdown = index;
        while (node != nullptr && countdown != 0) {
            node = node->link;
            --countdown;
        }
        if (countdown == 0 && node != nullptr) {
            return node->data;
        }
        throw std::logic_error(std::string("Index invalid"));
    }

    void clear() {
        while (head != nullptr) {
            LNode* first = head;
            head = first->link;
            delete first;
        }
        head = nullptr;
    }

private:
    LNode* head;
};

// Prints "[" and every element followed by ", ", then "]", with no end of line.
std::ostream& operator<<(std::ostream& out, const LList& list);
