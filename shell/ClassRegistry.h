#pragma once
// Factories by class name. The page classes (shell/prUnit) and their Qt views (app/PageView)
// are both looked up by the page class name a tree node carries.
#include <map>
#include <string>
#include <utility>

template <class Factory>
class TClassRegistry {
 public:
  // Registers the factory of a class; a later registration of the same name replaces it.
  void Register(const std::string& className, Factory factory) {
    Entries[className] = std::move(factory);
  }
  // The factory of the class, nullptr when none is registered.
  const Factory* Find(const std::string& className) const {
    auto it = Entries.find(className);
    return it != Entries.end() && it->second ? &it->second : nullptr;
  }

 private:
  std::map<std::string, Factory> Entries;
};
