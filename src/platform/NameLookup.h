#pragma once
// Host names through the name service. A look-up can take as long as the resolver's
// servers do, and getaddrinfo cannot be interrupted: it runs on a thread of its own, and a
// caller whose cancel token (platform/Cancel.h) fires stops waiting at once. The late
// answer is then dropped.

#include <QByteArray>
#include <cstdint>
#include <functional>

namespace velmar::platform {

// The first IPv4 address of `name` (network order). False when the name has none, or when
// the calling thread's cancel token ended the wait (`stopped` then says so).
bool LookUpIPv4(const QByteArray& name, uint32_t& address, bool* stopped = nullptr);

// Tests put a resolver of their own in place (a slow one); an empty one returns to the
// system's. It may still be called for a while by look-ups already under way.
using NameResolver = std::function<bool(const QByteArray& name, uint32_t& address)>;
void SetNameResolverForTesting(NameResolver resolver);

} // namespace velmar::platform
