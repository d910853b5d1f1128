// Late-binding access to the page for the host program. Runs at document
// start in the host's own script world, so page scripts can neither see nor
// replace it, while the DOM itself is shared.
//
// Every entry point answers with one string the host decodes:
//   "u" undefined, "n" null, "b1"/"b0", "d" + number, "s" + text,
//   "h" + generation + ":" + id for an object, "e" + code + ":" + message.
// Objects stay in a table, so the same node always has the same id; the
// generation is drawn afresh for every document, so ids kept across a
// navigation are recognised and refused.

function tvrn2InstallBridge(scope) {
    'use strict';
    if (scope.__tvrn2Bridge)
        return;

    const generation = Math.floor(Math.random() * 4503599627370496) + 1;
    const objects = [undefined];
    const ids = new Map();

    class BridgeError extends Error {
        constructor(code, message) {
            super(message);
            this.code = code;
        }
    }

    function handleFor(object) {
        let id = ids.get(object);
        if (id === undefined) {
            id = objects.length;
            objects.push(object);
            ids.set(object, id);
        }
        return id;
    }

    function encode(value) {
        if (value === undefined)
            return 'u';
        if (value === null)
            return 'n';
        switch (typeof value) {
        case 'boolean':
            return value ? 'b1' : 'b0';
        case 'number':
            return 'd' + String(value);
        case 'string':
            return 's' + value;
        case 'bigint':
            return 's' + String(value);
        case 'symbol':
            return 's' + String(value);
        default:
            return 'h' + generation + ':' + handleFor(value);
        }
    }

    function resolve(objectGeneration, id) {
        if (objectGeneration !== generation)
            throw new BridgeError('stale', 'the object belongs to a document that is no longer loaded');
        if (!(id > 0 && id < objects.length))
            throw new BridgeError('released', 'no object has this handle');
        const object = objects[id];
        if (object === undefined)
            throw new BridgeError('released', 'the object was released');
        return object;
    }

    function decodeArgument(value) {
        if (value !== null && typeof value === 'object' && Array.isArray(value.$h))
            return resolve(value.$h[0], value.$h[1]);
        return value;
    }

    function answer(action) {
        try {
            return encode(action());
        } catch (error) {
            if (error instanceof BridgeError)
                return 'e' + error.code + ':' + error.message;
            const text = error && error.message !== undefined ? error.message : String(error);
            return 'escript:' + (error && error.name ? error.name + ': ' : '') + text;
        }
    }

    function documentObject() {
        return answer(() => scope.document);
    }

    function windowObject() {
        return answer(() => scope);
    }

    function getProperty(objectGeneration, id, name) {
        return answer(() => resolve(objectGeneration, id)[name]);
    }

    function putProperty(objectGeneration, id, name, value) {
        return answer(() => {
            resolve(objectGeneration, id)[name] = decodeArgument(value);
            return undefined;
        });
    }

    function invokeMethod(objectGeneration, id, name, args) {
        return answer(() => {
            const object = resolve(objectGeneration, id);
            const method = object[name];
            if (typeof method !== 'function')
                throw new BridgeError('notcallable', '"' + name + '" is not a method of the object');
            return method.apply(object, args.map(decodeArgument));
        });
    }

    function releaseObject(objectGeneration, id) {
        return answer(() => {
            const object = resolve(objectGeneration, id);
            ids.delete(object);
            objects[id] = undefined;
            return undefined;
        });
    }

    Object.defineProperty(scope, '__tvrn2Bridge', {
        value: Object.freeze({
            document: documentObject,
            window: windowObject,
            get: getProperty,
            put: putProperty,
            invoke: invokeMethod,
            release: releaseObject,
        }),
    });
}

tvrn2InstallBridge(globalThis);
