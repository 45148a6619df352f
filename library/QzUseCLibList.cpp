// QzUseCLibList.cpp: the sentinel-headed lists of stream sounds and network
// connections. A list is two sentinel nodes (handle -1, no data) with the live nodes
// between them, newest first. The caller owns every node; nothing is allocated here.
#include "QzUseCLib.h"

int InitHandleList(HandleListNode* first, HandleListNode* last) {
    first->handle = -1;
    first->data = nullptr;
    first->prev = nullptr;
    first->next = last;
    last->handle = -1;
    last->data = nullptr;
    last->prev = first;
    last->next = nullptr;
    return 0;
}

int InsertHandleListNode(HandleListNode* after, HandleListNode* node, int handle, void* data) {
    node->handle = handle;
    node->data = data;
    node->prev = after;
    node->next = after->next;
    if (after->next != nullptr) after->next->prev = node;
    after->next = node;
    return 0;
}

int RemoveHandleListNode(HandleListNode* node) {
    if (node->prev != nullptr) node->prev->next = node->next;
    if (node->next != nullptr) node->next->prev = node->prev;
    return 0;
}
