// A catalog directory of a test's own (what ORU_NLSPATH points at), filled
// with catalogs compiled from texts the test writes, copies of the build's
// catalogs, or damaged files; removed with the object. While it lives, the
// locale variables and ORU_NLSPATH are the test's to set; they are put back
// afterwards.
#pragma once

#include <string>
#include <utility>
#include <vector>

class CatalogTestTree {
  public:
    CatalogTestTree();
    ~CatalogTestTree();
    CatalogTestTree(const CatalogTestTree&) = delete;
    CatalogTestTree& operator=(const CatalogTestTree&) = delete;

    const std::string& Path() const { return root_; }

    // Compiles msgSource with gencat into <root>/<lang>/<base>.cat.
    void Compile(const std::string& lang, const std::string& base, const std::string& msgSource);
    // Copies the build's <lang>/<base>.cat into the tree.
    void CopyBuilt(const std::string& lang, const std::string& base);
    // Writes bytes as <root>/<lang>/<base>.cat.
    void WriteRaw(const std::string& lang, const std::string& base, const std::string& bytes);
    // The contents of a catalog file of the tree.
    std::string Read(const std::string& lang, const std::string& base) const;

    // Points ORU_NLSPATH at the tree.
    void Use() const;
    // Sets LANG and clears LC_ALL and LC_MESSAGES.
    static void SetLanguage(const char* lang);
    static void SetVariable(const char* name, const char* value);

  private:
    std::string CatalogFile(const std::string& lang, const std::string& base) const;

    std::string root_;
    std::vector<std::pair<std::string, std::string>> saved_;
    std::vector<std::string> unset_;
};
