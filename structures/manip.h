#pragma once

#include "Pointers.h"

// Each routine changes one record, or an int reached through a record's
// pointer, in one fixed way, and reaches the record only through its member
// functions.

void manip1(Pointers* record);
void manip2(Pointers* record);
void manip3(Pointers* record);
void manip4(Pointers* record, int* target);
void manip5(Pointers* record, int* ignored);
void manip6(Pointers* record);
void manip7(Pointers* record);
void manip8(Pointers* record);
void manip9(Pointers* record, int* target);
void manip10(Pointers* records);
