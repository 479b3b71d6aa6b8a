// Version of the provider interface this layer implements. Provider
// libraries return it from getOWVersion(); the loader requires an exact match.
#ifndef OPENWBEM_OWVERSION_H
#define OPENWBEM_OWVERSION_H

#define OW_VERSION "3.0.3"

#endif
