/* What the expansions of the lists share, in C and in C++.
 *
 * A parameter list expanded from a list's rows comes out as ", a, b, c":
 * every row writes its comma in front, so that no row needs to know whether
 * it is the first. ZEP_DROP_FIRST(list) removes the leading comma. */
#ifndef ZEP00001_ENTRIES_EXPAND_H
#define ZEP00001_ENTRIES_EXPAND_H

#define ZEP_DROP_FIRST(...) ZEP_DROP_FIRST_(__VA_ARGS__)
#define ZEP_DROP_FIRST_(first, ...) __VA_ARGS__

#endif
