#!/bin/sh
echo "juceaide is not available in this build (requested: $*)" >&2
exit 1
