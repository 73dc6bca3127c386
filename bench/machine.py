"""The processor a benchmark ran on, as the machine reports it: costs differ between makers and
generations, and a virtual machine may give only a maker's family name."""
import os

def processor():
    fields = {}
    for line in open("/proc/cpuinfo"):
        key, _, value = line.partition(":")
        fields.setdefault(key.strip(), value.strip())
        if not line.strip(): break
    return "%s (family %s, model %s), %d processors" % (fields.get("model name", "?"), fields.get("cpu family", "?"),
                                                        fields.get("model", "?"), os.cpu_count())
