#pragma once
// The base of workers that bring outside albums into the catalog inside their passes. It decides,
// through CanContinue, whether a pass may take its next step, and gives the three places of an
// import (prepare, run, finish). The import of the sibling product's albums is an integration
// of its own: until one is installed the three places do nothing.
#include <string>

#include "engine/workers/thread_base.h"

namespace plb {

class TZenmoaAlbumInporter : public TOstraThreadBase {
 public:
  explicit TZenmoaAlbumInporter(std::string className) : TOstraThreadBase(std::move(className)) {}

  uint8_t WorkerKind() const override { return wkZenmoaAlbumInporter; }

  // Whether the running pass may take its next step; asked before each one.
  virtual bool CanContinue() { return !IsTerminated(); }

 protected:
  // Before the pass looks at any folder.
  virtual void PrepareImport() {}
  // Inside the pass, before the registered folders are updated.
  virtual void RunImport() {}
  // After the pass, whatever happened in it.
  virtual void FinishImport() {}
};

}  // namespace plb
