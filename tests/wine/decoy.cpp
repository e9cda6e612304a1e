// A library of no use, copied next to the test program under a system library's name.
