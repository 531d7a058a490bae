// The stream-persistence interface: an object that can write its content to
// a stream and read it back (an image, a document). A parameter assigned from
// such an object takes its content as a blob.
#pragma once

#include "dac/framework/classes/streams.h"

namespace dac {

class IStreamPersist {
 public:
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) const = 0;

 protected:
  ~IStreamPersist() = default;
};

}  // namespace dac
