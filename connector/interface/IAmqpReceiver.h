#pragma once
// The response receiver: owns the replies connection and drains the private queue on request.
#include <list>
#include <string>

namespace QvMT4Connector::Interface {

class IAmqpReceiver {
 public:
  virtual ~IAmqpReceiver() = default;

  virtual void Close() = 0;
  virtual void Connect() = 0;
  // Appends every waiting reply, oldest first (or one failure text); never throws, never removes.
  virtual void getAmqpResponses(std::list<std::string>& responses) = 0;
  virtual bool IsOpen() const = 0;
};

}  // namespace QvMT4Connector::Interface
