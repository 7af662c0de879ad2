#pragma once

// True when this process sees only loopback and the "kv" links that tests add themselves: a
// network namespace of its own, not the host's. Whatever broadcasts, or serves on an address
// outside 127.0.0.0/8, runs only there.
bool inOwnNetworkNamespace();
