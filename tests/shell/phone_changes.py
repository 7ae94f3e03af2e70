#!/usr/bin/env python3
"""Lists how a simulated phone changed between two of its JSON files (the phone format
of standins/phone/README.md), one line per object in the order of the first file:

    gone: <device friendly name>/<path of names> (<object id>)
    changed: <device friendly name>/<path of names> (<object id>)
    new: <device friendly name>/<path of names> (<object id>)

An object is identified by its device id and object id; "changed" means that it moved or
that any of its own keys differs. A device that is gone, new or changed is one line of
the same kind naming only the device. Nothing is printed when the phones are equal.
Usage: phone_changes.py BEFORE.json AFTER.json   (exit code 2 when a file cannot be read)
"""
import json
import sys


def objects(phone):
    """Maps (device id, object id) to (path, parent id, own keys), in walk order."""
    found = {}

    def walk(device_id, path, parent, children):
        for child in children:
            own = {key: value for key, value in child.items() if key != "children"}
            name = child.get("name") or "?"
            found[(device_id, child["id"])] = (f"{path}/{name}", parent, own)
            walk(device_id, f"{path}/{name}", child["id"], child.get("children", []))

    for device in phone["devices"]:
        label = device.get("friendly_name") or device["id"]
        walk(device["id"], label, None, device.get("storages", []))
    return found


def devices(phone):
    return {
        device["id"]: {key: value for key, value in device.items() if key != "storages"}
        for device in phone["devices"]
    }


def read(path):
    try:
        with open(path, encoding="utf-8") as file:
            phone = json.load(file)
        return phone, devices(phone), objects(phone)
    except (OSError, ValueError, KeyError, TypeError) as problem:
        print(f"phone_changes: {path}: {problem}", file=sys.stderr)
        sys.exit(2)


def main():
    if len(sys.argv) != 3:
        print("usage: phone_changes.py BEFORE.json AFTER.json", file=sys.stderr)
        sys.exit(2)
    _, devices_before, before = read(sys.argv[1])
    _, devices_after, after = read(sys.argv[2])
    for device_id, own in devices_before.items():
        label = own.get("friendly_name") or device_id
        if device_id not in devices_after:
            print(f"gone: {label}")
        elif devices_after[device_id] != own:
            print(f"changed: {label}")
    for device_id, own in devices_after.items():
        if device_id not in devices_before:
            print(f"new: {own.get('friendly_name') or device_id}")
    for key, (path, parent, own) in before.items():
        if key not in after:
            print(f"gone: {path} ({key[1]})")
        elif after[key][1:] != (parent, own):
            print(f"changed: {path} ({key[1]})")
    for key, (path, _, _) in after.items():
        if key not in before:
            print(f"new: {path} ({key[1]})")


if __name__ == "__main__":
    main()
