#pragma once
// The component-object runtime of the GUI thread: on Windows, COM in the
// single-threaded apartment, which the automation of the office
// applications, the hosted control and the database layer need. Elsewhere
// there is nothing to set up.
namespace platform {

// Initialises COM for the calling thread for its lifetime, and uninitialises
// it at the end when the initialisation succeeded (also when the thread was
// already initialised in the same apartment, as every successful call must be
// paired). Created first thing at start-up; ends last.
class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool Initialised() const { return initialised_; }

 private:
  bool initialised_ = false;
};

}  // namespace platform
