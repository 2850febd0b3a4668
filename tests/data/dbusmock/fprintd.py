'''fprintd mock template for python3-dbusmock

The manager (/net/reactivated/Fprint/Manager) lists the readers the test adds through
net.reactivated.Fprint.Mock: AddReader(name) makes a device object, RemoveReaders() drops
them all, SetRefusing(true) makes GetDevices answer with fprintd's permission error.
'''

import dbus

BUS_NAME = 'net.reactivated.Fprint'
MAIN_OBJ = '/net/reactivated/Fprint/Manager'
MAIN_IFACE = 'net.reactivated.Fprint.Manager'
SYSTEM_BUS = True

MOCK_IFACE = 'net.reactivated.Fprint.Mock'
DEVICE_IFACE = 'net.reactivated.Fprint.Device'


def load(mock, _parameters):
    mock.readers = []
    mock.refusing = False


@dbus.service.method(MAIN_IFACE, in_signature='', out_signature='ao')
def GetDevices(manager):
    if manager.refusing:
        raise dbus.exceptions.DBusException('Not Authorized: net.reactivated.fprint.device.verify',
                                            name='net.reactivated.Fprint.Error.PermissionDenied')
    return dbus.Array(manager.readers, signature='o')


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='o')
def AddReader(manager, name):
    path = dbus.ObjectPath(f'/net/reactivated/Fprint/Device/{len(manager.readers)}')
    manager.AddObject(path, DEVICE_IFACE, {
        'name': dbus.String(name),
        'num-enroll-stages': dbus.Int32(5),
        'scan-type': dbus.String('press'),
    }, [])
    manager.readers.append(path)
    return path


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='')
def RemoveReaders(manager):
    for path in manager.readers:
        manager.RemoveObject(path)
    manager.readers = []


@dbus.service.method(MOCK_IFACE, in_signature='b', out_signature='')
def SetRefusing(manager, refusing):
    manager.refusing = bool(refusing)
