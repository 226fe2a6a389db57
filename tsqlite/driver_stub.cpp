// Placeholder until the driver's entry points land.
extern "C" int tsqlite_placeholder() { return 0; }
