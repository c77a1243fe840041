#pragma once
// Loads the built library by path and resolves its eleven exports by their plain names, the
// way the terminal does. Shared by the terminal host and the export tests.
#include <stdexcept>
#include <string>

#include "connector/QvMT4Connector.h"

#if defined(_WIN32)
#include <objbase.h>
#include <windows.h>
#else
#include <dlfcn.h>

#include <cstdlib>
#endif

// The exports, in the order of the terminal's import list.
#define QV_FOR_EACH_EXPORT(X)                                                                              \
  X(QvLog) X(QvInit) X(QvDeInit) X(QvReadResponses) X(QvNextResponse) X(QvOrderOpen) X(QvOrderCancel)      \
  X(QvOrderClose) X(QvOrderModify) X(QvCancelAllPendingSignals) X(ParamsRequest)

namespace QvMT4Connector::Tools {

class ExportTable {
 public:
#define QV_EXPORT_SLOT(name) decltype(&::name) name = nullptr;
  QV_FOR_EACH_EXPORT(QV_EXPORT_SLOT)
#undef QV_EXPORT_SLOT

#define QV_EXPORT_NAME(name) #name,
  static constexpr const char* kNames[] = {QV_FOR_EACH_EXPORT(QV_EXPORT_NAME)};
#undef QV_EXPORT_NAME

  // Throws std::runtime_error when the library cannot be loaded or lacks an export. The library
  // stays loaded until the process ends: its state lives that long, as in the terminal.
  explicit ExportTable(const std::string& path) {
#if defined(_WIN32)
    handle_ = LoadLibraryA(path.c_str());
    if (handle_ == nullptr) throw std::runtime_error("cannot load " + path);
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) throw std::runtime_error("cannot load " + path + ": " + dlerror());
#endif
#if defined(_WIN32)
// From FARPROC through void (*)(), the type that converts to every function type without a warning.
#define QV_EXPORT_RESOLVE(name) name = reinterpret_cast<decltype(name)>(reinterpret_cast<void (*)()>(symbol(#name)));
#else
#define QV_EXPORT_RESOLVE(name) name = reinterpret_cast<decltype(name)>(symbol(#name));
#endif
    QV_FOR_EACH_EXPORT(QV_EXPORT_RESOLVE)
#undef QV_EXPORT_RESOLVE
  }

  // Takes a text result: returns its text ("(null)" for a null pointer) and releases it the way
  // its owner must.
  static std::string Take(char* result) {
    if (result == nullptr) return "(null)";
    std::string text(result);
#if defined(_WIN32)
    CoTaskMemFree(result);
#else
    std::free(result);
#endif
    return text;
  }

 private:
#if defined(_WIN32)
  using Address = FARPROC;
#else
  using Address = void*;
#endif
  Address symbol(const char* name) const {
#if defined(_WIN32)
    Address address = GetProcAddress(handle_, name);
#else
    Address address = dlsym(handle_, name);
#endif
    if (address == nullptr) throw std::runtime_error(std::string("export not found: ") + name);
    return address;
  }

#if defined(_WIN32)
  HMODULE handle_ = nullptr;
#else
  void* handle_ = nullptr;
#endif
};

}  // namespace QvMT4Connector::Tools
