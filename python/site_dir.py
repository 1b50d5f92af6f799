"""Prints where this python3 finds modules installed under the prefix given."""
import os
import site
import sys
import sysconfig

prefix = os.path.realpath(sys.argv[1])
version = f"python{sys.version_info.major}.{sys.version_info.minor}"
if prefix == os.path.realpath(site.USER_BASE):
    print(site.getusersitepackages())
elif prefix == "/usr" and os.path.isdir("/usr/lib/python3/dist-packages"):
    print("/usr/lib/python3/dist-packages")  # Debian's own packages
elif os.path.basename(sysconfig.get_path("platlib")) == "dist-packages":
    print(os.path.join(prefix, "lib", version, "dist-packages"))  # Debian: /usr/local and the like
else:
    print(sysconfig.get_path("platlib", vars={"base": prefix, "platbase": prefix}))
