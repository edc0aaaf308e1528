// Which SHA-1 compression SHA1Update and SHA1Final use. Before main the
// library picks the x86 SHA extensions when this build and the processor have
// them, and the portable compression otherwise. Switching is for the tests,
// which run the same messages through both; it must not happen while another
// thread is hashing.
#pragma once

bool sha1shaextavailable();  // this build and processor can use the SHA extensions
bool sha1useshaext(bool on); // false, and nothing changes, when they are not available
bool sha1usingshaext();
