// The process heap, set up for the pictures: see heap.cpp.
#pragma once

// Call first thing in main, before anything big is allocated. Does nothing
// where the C library or the system cannot do what it asks.
void hugepageheap();
