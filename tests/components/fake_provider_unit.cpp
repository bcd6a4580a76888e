// The access layer's fake provider, compiled into this suite for provider objects to apply options to.
#include "tests/access/fake_provider.cpp"
