// The texts the catalog library prints or returns itself. They cannot come
// from a catalog: they report that the catalog is not there.
#pragma once

namespace catalog {

struct CatalogTexts {
    // A text request that no catalog can answer (function, set, number).
    static constexpr const char* kNoSuchString = "ORU StringCatalog::%s(%d, %d): No such string. ";
    // A catalog file that could not be opened (errno, path); on stderr.
    static constexpr const char* kOpenFailed = "ORU StringCatalog(): errno %d opening file %s\n";
    // Closing a catalog file failed (errno); on stderr.
    static constexpr const char* kCloseFailed =
        "ORU ~StringCatalog(): errno %d closing string catalog file\n";
    // A catalog text that does not take the arguments of its English text,
    // types included, or would make the formatter write to memory (set,
    // number, path); on stderr, and the text is not used.
    static constexpr const char* kUnsafeText =
        "ORU StringCatalog: text %d.%d of %s does not take the arguments of its English text; "
        "not used\n";
};

}  // namespace catalog
