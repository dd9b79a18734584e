#include "manip.h"

namespace {

// Stores the value into the given int, points the record at it and copies it
// into the record.  The storage must still be alive when setC reads it.
void storeAndCopy(Pointers* record, int* storage, int value) {
    *storage = value;
    record->setB(storage);
    record->setC();
}

}  // namespace

void manip1(Pointers* record) {
    *record->getA() = 10;
}

void manip2(Pointers* record) {
    *record->getB() = 45;
}

void manip3(Pointers* record) {
    *record->getB() = 383;
}

void manip4(Pointers* record, int* target) {
    record->setB(target);
}

// Each store-and-copy routine (manip5, manip8, manip10) keeps its value in a
// static int of its own, which lives for the whole run and, once set, holds
// only that value, so every record left pointing at it goes on referring to
// a live int equal to its c.  manip5 neither reads nor writes the int it is
// given, so any pointer will do there, null included, and it changes nothing
// outside the record but its own int.
void manip5(Pointers* record, int* /*ignored*/) {
    static int stored = 0;
    storeAndCopy(record, &stored, 45);
}

void manip6(Pointers* record) {
    int* array = record->getB();
    array[2] = 10;
}

void manip7(Pointers* record) {
    *record->getB() = 15;
}

void manip8(Pointers* record) {
    static int stored = 0;
    storeAndCopy(record, &stored, 199);
}

void manip9(Pointers* record, int* target) {
    record->setB(target);
}

void manip10(Pointers* records) {
    static int stored = 0;
    storeAndCopy(&records[5], &stored, 199);
}
