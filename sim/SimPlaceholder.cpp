// Keeps the simulator library non-empty while it has no other sources.
