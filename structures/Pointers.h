#pragma once

// A small record for practising indirection: an int, a pointer to an int the
// record does not own, and a second int filled from what that pointer refers
// to.  A record owns nothing it points to, so the member-wise copies the
// compiler writes are safe and an array of records needs no per-element
// clean-up.
class Pointers {
public:
    Pointers() : a(5), b(nullptr), c(10) {}
    Pointers(int value, int* target) : a(value), b(target), c(0) {}

    // a is private: after construction, code outside the class reads and
    // writes it through the pointer this returns.
    int* getA() { return &a; }
    int* getB() const { return b; }
    int getC() const { return c; }
    void setB(int* target) { b = target; }
    // b must refer to a live int when this is called.
    void setC() { c = *b; }

private:
    int a;
    int* b;
    int c;
};
