#pragma once

// One element of an LList and the link to the element after it (null at the
// last node).  Nodes are made one at a time with new and owned by their list.
struct LNode {
    int data;
    LNode* link;
};
